# Sourced by the scripts that take options: --help prints the script's leading comment (its usage),
# --version the project's version (the project() line of CMakeLists.txt), alike in every script.
# shellcheck shell=bash

# tl_common_option SCRIPT ARGUMENT: answers --help and --version (and exits), refuses an option the
# script did not take itself (exit 1), and returns for an empty ARGUMENT.
tl_common_option() {
  local name
  name=$(basename "$1")
  case "$2" in
    -h | --help)
      sed -n '2,/^[^#]/{/^#/p}' "$1" | sed 's/^# \{0,1\}//'
      exit 0
      ;;
    --version)
      echo "$name (tillands) $(sed -n 's/^project(Tillands VERSION \([^ ]*\).*/\1/p' \
        "$(dirname "${BASH_SOURCE[0]}")/../CMakeLists.txt")"
      exit 0
      ;;
    "") return 0 ;;
    *)
      echo "$name: unknown option '$2' (see --help)" >&2
      exit 1
      ;;
  esac
}
