#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the game need, when any is missing.
# Usage: scripts/deps.sh [extra packages...]
# When another install holds the package manager's lock, waits for it (TEEBOX_APT_WAIT seconds, default 600)
# instead of failing.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config binutils ccache
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  libsdl2-dev
  libopenal-dev
  libspeex-dev libgsm1-dev
  zlib1g-dev
  libosmesa6-dev  # Mesa llvmpipe, the like-for-like reference of bench_grid and d3d_bench
  libzstd-dev liblz4-dev libavcodec-dev  # the references the unpack and movie benchmarks measure against
  console-setup-linux  # Terminus console fonts, converted by mkdemo for the demo installation
  espeak-ng sox  # the demo installation's announcer lines, spoken and converted by mkdemo
)
packages+=("$@")

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing missing packages: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
wait_limit=${TEEBOX_APT_WAIT:-600}
deadline=$((SECONDS + wait_limit))

# Runs apt-get; while it fails because another process holds a lock of the package manager, waits and tries
# again until the deadline. apt-get itself waits for the dpkg lock (DPkg::Lock::Timeout); the retry also covers
# the lock of the package lists, which that option does not.
apt_waiting() {
  local log status
  log=$(mktemp)
  while :; do
    status=0
    $sudo apt-get -o DPkg::Lock::Timeout=60 "$@" 2>"$log" || status=$?
    cat "$log" >&2
    [ "$status" -eq 0 ] && { rm -f "$log"; return 0; }
    if ! grep -qiE "could not get lock|unable to acquire|lock.*(held|is held)|resource temporarily unavailable" "$log"; then
      rm -f "$log"
      return "$status"
    fi
    if [ "$SECONDS" -ge "$deadline" ]; then
      echo "deps: the package manager is still locked by another install after ${wait_limit}s; giving up" >&2
      rm -f "$log"
      return "$status"
    fi
    echo "deps: another install holds the package manager's lock; waiting (up to $((deadline - SECONDS))s more)" >&2
    sleep 5
  done
}

apt_waiting update -qq
apt_waiting install -y -qq --no-install-recommends "${missing[@]}"
