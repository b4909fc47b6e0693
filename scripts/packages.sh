# Sourced by the scripts in this folder:
#
#   need_packages PACKAGE...
#
# makes sure that the Debian packages a script needs are installed. As root
# with apt-get it installs those that are missing. Otherwise it stops the
# script with one message that names the missing packages and the command
# that installs them. Without dpkg-query (not Debian) it cannot tell, says
# what the script needs, and goes on.
need_packages() {
  local script missing=() package
  script=$(basename "$0")
  if ! command -v dpkg-query >/dev/null; then
    echo "$script: no dpkg-query to check packages with; it needs the Debian packages" \
         "$* (or this system's equivalents)." >&2
    return 0
  fi
  for package in "$@"; do
    if [ "$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null)" != "install ok installed" ]; then
      missing+=("$package")
    fi
  done
  [ ${#missing[@]} -gt 0 ] || return 0
  if [ "$(id -u)" = 0 ] && command -v apt-get >/dev/null; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
    return 0
  fi
  {
    echo "$script: missing Debian packages: ${missing[*]}"
    echo "Install them (as root, or with sudo) and run it again:"
    echo "  sudo apt-get install --no-install-recommends ${missing[*]}"
  } >&2
  exit 1
}
