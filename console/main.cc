// zenotar-client: a terminal console for the ZENOTAR satellite-tracking server.

#include "console/console.h"

int main() {
  run_console();
}
