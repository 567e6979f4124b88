# Sourced by the install scripts: installs the Debian packages given that
# are not installed yet, as root or through sudo.  With all of them present
# it returns without touching apt, so the scripts are cheap to run again.
#
#   apt_install_missing NAME PACKAGE...     (NAME prefixes the messages)

apt_install_missing() {
  local name=$1
  shift
  local missing=() package status
  for package in "$@"; do
    status=$(dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null || true)
    [ "$status" = "installed" ] || missing+=("$package")
  done
  if [ ${#missing[@]} -eq 0 ]; then
    echo "$name: all packages already installed"
    return 0
  fi
  local sudo=()
  if [ "$(id -u)" -ne 0 ]; then
    if command -v sudo >/dev/null 2>&1; then
      sudo=(sudo)
    else
      echo "$name: not root and sudo is not available; install as root: ${missing[*]}" >&2
      return 1
    fi
  fi
  echo "$name: installing ${missing[*]}"
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 update -q
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 install -y -q \
    --no-install-recommends "${missing[@]}"
}
