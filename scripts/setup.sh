# Sourced by run.sh and test.sh: installs what a fresh Debian 12 machine lacks.
vt_packages=(g++ cmake ninja-build pkg-config libgtest-dev libgmock-dev libbenchmark-dev
             qt6-base-dev zlib1g-dev libdeflate-dev zip unzip fonts-liberation libpcre2-dev
             tango-icon-theme libqt6svg6 poppler-utils python3 tzdata
             qt6-webengine-dev xdg-utils qt6-translations-l10n libcups2-dev)
vt_install_missing() {
  local missing=() p
  for p in "${vt_packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -q </dev/null
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}" </dev/null
}
