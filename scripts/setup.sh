#!/usr/bin/env bash
# Prepares a Debian 12 machine for Tintora and builds the release build in build/release.
#
#   bash scripts/setup.sh              install missing packages, configure, build
#   bash scripts/setup.sh --deps-only  install missing packages only
#
# Safe to run again: packages already installed are not asked for (apt is skipped entirely when
# nothing is missing) and the build is incremental. Never prompts. Uses sudo only when not root.
# TINTORA_JOBS sets the build's parallelism (default 2).
set -euo pipefail
cd "$(dirname "$0")/.."

say() { printf '[setup] %s\n' "$*"; }
die() { printf '[setup] error: %s\n' "$*" >&2; exit 1; }

deps_only=0
for arg in "$@"; do
    case "$arg" in
        --deps-only) deps_only=1 ;;
        -h | --help) sed -n '2,10p' "$0"; exit 0 ;;
        *) die "unknown argument: $arg" ;;
    esac
done

# Debian packages the project needs; README.md says why each is there.
packages=(
    cmake ninja-build make g++ clang libclang-rt-14-dev pkg-config
    qt6-base-dev qt6-base-private-dev qt6-qpa-plugins qt6-image-formats-plugins
    libsquish-dev libassimp-dev libtbb-dev libzstd-dev libdeflate-dev libjpeg-dev
    libgtest-dev libbenchmark-dev
    xvfb xauth xdotool imagemagick x11-utils fonts-dejavu-core desktop-file-utils
    python3
)

missing=()
for pkg in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$pkg")
done

if ((${#missing[@]} == 0)); then
    say "all ${#packages[@]} Debian packages already installed"
else
    say "missing Debian packages: ${missing[*]}"
    if ((EUID == 0)); then
        as_root=(env DEBIAN_FRONTEND=noninteractive)
    elif command -v sudo >/dev/null 2>&1; then
        as_root=(sudo env DEBIAN_FRONTEND=noninteractive)
    else
        die "not root and no sudo: install these packages by hand: ${missing[*]}"
    fi
    # Mirrors occasionally fail for a moment: try a few times before giving up.
    apt_retry() {
        local try
        for try in 1 2 3; do
            "${as_root[@]}" "$@" && return 0
            say "apt-get failed (attempt $try of 3); retrying in 10 s"
            sleep 10
        done
        return 1
    }
    say "apt-get update"
    apt_retry apt-get update -q || die "apt-get update failed"
    say "apt-get install ${missing[*]}"
    apt_retry apt-get install -y -q --no-install-recommends "${missing[@]}" \
        || die "apt-get install failed"
    say "packages installed"
fi

if ((deps_only)); then
    say "done (--deps-only)"
    exit 0
fi

jobs=${TINTORA_JOBS:-2}
say "configuring build/release (Ninja, RelWithDebInfo)"
cmake --preset release
say "building build/release with $jobs jobs"
cmake --build --preset release --parallel "$jobs"
say "done: editor at build/release/src/app/tintora"
