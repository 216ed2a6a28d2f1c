# Installs the Debian packages named in the arguments that are not yet there.
# Sourced by the other scripts; uses sudo when not run as root.
install_missing() {
  local missing=()
  local package
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
      missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
}

# What building and testing need.
BUILD_PACKAGES=(cmake ninja-build g++ libgtest-dev libbenchmark-dev libedit-dev netbase groff-base python3-sgp4 tmux)
