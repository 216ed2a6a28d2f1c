# Installs the Debian packages named in the arguments that are not yet there,
# quietly: one line says what, apt's own output shows only if it fails.
# Sourced by the other scripts. It needs root, or sudo; without either it
# says which packages to install, and how, and stops.
install_missing() {
  local missing=() package
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
      missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local as_root=()
  if [ "$(id -u)" -ne 0 ]; then
    if ! command -v sudo > /dev/null; then
      echo "Missing Debian packages: ${missing[*]}; install them as root with: apt-get install ${missing[*]}" >&2
      exit 1
    fi
    as_root=(sudo)
  fi
  echo "Installing Debian packages: ${missing[*]}"
  local log
  log=$(mktemp)
  if ! { "${as_root[@]}" apt-get update -q &&
         "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive \
           apt-get install -y -q --no-install-recommends "${missing[@]}"; } > "$log" 2>&1; then
    cat "$log" >&2
    rm -f "$log"
    echo "Could not install: ${missing[*]}" >&2
    exit 1
  fi
  rm -f "$log"
}

# What building the two programs and running the demo need.
DEMO_PACKAGES=(cmake ninja-build g++ libedit-dev netbase)
# What building and running every test needs.
BUILD_PACKAGES=(cmake ninja-build g++ libgtest-dev libbenchmark-dev libedit-dev netbase groff-base
  python3-sgp4 tmux)
# What making and checking the Debian package needs besides.
PACKAGE_PACKAGES=(file dpkg-dev lintian mandoc)
