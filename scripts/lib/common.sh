# Shared by scripts/run, scripts/test and scripts/bench: packages, locale, Wine prefix, display.
# Source it from bash; every function prints what it does on stderr only when it has work to do.

TAV_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

# Packages every script needs: native and cross compilers, GoogleTest (built, and as sources for
# the cross build), Wine for 64- and 32-bit programs, a virtual display, a CJK font, screenshots,
# the Chinese locale, clang's libFuzzer runtime and zip checks for the release.
TAV_PACKAGES=(cmake ninja-build g++ clang clang-format libclang-rt-14-dev libgtest-dev libgmock-dev
  googletest mingw-w64 wine wine64 wine32:i386 xvfb x11-utils locales fonts-wqy-zenhei fonts-wine
  imagemagick python3)

tav_sudo() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

tav_install_packages() {
  local missing=()
  local p
  for p in "${TAV_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}" >&2
    # wine32 comes from the i386 architecture, which apt must know before its update.
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
      tav_sudo dpkg --add-architecture i386
    fi
    tav_sudo apt-get update
    tav_sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
  fi
  tav_wine_loader
}

# tav_wine_loader: on machines whose kernel runs no 32-bit programs, Debian's wine command (which
# starts the 32-bit loader first once wine32 is installed) fails with "Exec format error". There a
# wine command of the build's own, first on PATH, starts the 64-bit loader directly, and
# TAV_WINE32=0 tells the tests that 32-bit Windows programs cannot be run here.
tav_wine_loader() {
  [ -z "${TAV_WINE32:-}" ] || return 0
  TAV_WINE32=1
  if [ -x /usr/lib/wine/wine ] && ! /usr/lib/wine/wine --version >/dev/null 2>&1 &&
    [ -x /usr/lib/wine/wine64 ]; then
    TAV_WINE32=0
    local shim="$TAV_ROOT/build/wine64-only"
    mkdir -p "$shim"
    local name
    for name in wine wine-stable; do
      printf '#!/bin/sh\nexport WINELOADER=/usr/lib/wine/wine64\nexec /usr/lib/wine/wine64 "$@"\n' >"$shim/$name"
      chmod +x "$shim/$name"
    done
    export PATH="$shim:$PATH"
    echo "This machine runs no 32-bit programs: Wine runs 64-bit Windows programs only" >&2
  fi
  export TAV_WINE32
}

# tav_skip_without_wine32 WHAT: true (after a SKIP line) when 32-bit programs cannot run here.
tav_skip_without_wine32() {
  tav_wine_loader
  [ "$TAV_WINE32" -eq 0 ] || return 1
  echo "SKIP - $1: this machine runs no 32-bit programs"
}

# Wine takes its ANSI code page from the Unix locale: zh_CN.UTF-8 gives code page 936 (GBK).
tav_setup_locale() {
  if ! locale -a 2>/dev/null | grep -qi '^zh_CN\.utf-\?8$'; then
    echo "Generating the zh_CN.UTF-8 locale" >&2
    tav_sudo sed -i 's/^# *\(zh_CN.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen || echo 'zh_CN.UTF-8 UTF-8' | tav_sudo tee -a /etc/locale.gen >/dev/null
    tav_sudo locale-gen >/dev/null
  fi
}

# tav_wine_prefix DIR: use (and create once) a Wine prefix of the project's own.
tav_wine_prefix() {
  tav_wine_loader
  export WINEPREFIX=$1
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  export LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8
  if [ ! -f "$WINEPREFIX/.tav-ready" ]; then
    echo "Creating the Wine prefix $WINEPREFIX" >&2
    mkdir -p "$WINEPREFIX"
    timeout -k 10 180 wineboot -i >/dev/null 2>&1 || { echo "wineboot did not finish" >&2; return 1; }
    timeout -k 10 120 wineserver -w || { echo "the new prefix did not settle" >&2; return 1; }
    # No crash dialog: a crash must end the process, not wait for a click.
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
    # Without a window manager Wine stalls after each dialog unless it draws frames itself.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
    timeout -k 10 120 wineserver -w || { echo "the new prefix did not settle" >&2; return 1; }
    touch "$WINEPREFIX/.tav-ready"
  fi
  # The caption buttons are drawn with Marlett; Debian ships it apart from Wine (fonts-wine).
  local fonts="$WINEPREFIX/drive_c/windows/Fonts"
  if [ -f /usr/share/wine/fonts/marlett.ttf ] && [ ! -f "$fonts/marlett.ttf" ]; then
    cp /usr/share/wine/fonts/marlett.ttf "$fonts/"
  fi
}

# tav_wine_stop: ends every process of the current prefix and waits for its server to go.
tav_wine_stop() {
  wineserver -k 2>/dev/null || true
  timeout -k 5 60 wineserver -w 2>/dev/null || true
}

# tav_map_drive_d DIR: drive D: of the prefix becomes DIR (created if missing).
tav_map_drive_d() {
  mkdir -p "$1"
  ln -sfn "$(cd "$1" && pwd)" "$WINEPREFIX/dosdevices/d:"
}

# tav_set_dpi N: the prefix's screen scale in dots per inch (96 = 100 %, 144 = 150 %).
tav_set_dpi() {
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
}

# tav_ensure_display: start a private Xvfb when there is no display; TAV_XVFB_PID is set then.
tav_ensure_display() {
  if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    return
  fi
  local fifo
  fifo=$(mktemp -u)
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
  TAV_XVFB_PID=$!
  local n
  read -r -t 20 n <"$fifo" || { echo "Xvfb did not start" >&2; rm -f "$fifo"; return 1; }
  rm -f "$fifo"
  export DISPLAY=":$n"
  TAV_HEADLESS=1
}

tav_stop_display() {
  if [ -n "${TAV_XVFB_PID:-}" ]; then
    kill "$TAV_XVFB_PID" 2>/dev/null || true
    wait "$TAV_XVFB_PID" 2>/dev/null || true
    unset TAV_XVFB_PID
  fi
}

# tav_build_windows [PRESET...]: the cross builds, by default the 64-bit one (build/windows).
tav_build_windows() {
  tav_wine_loader
  local preset
  for preset in "${@:-windows}"; do
    # The unit tests of a Windows build run under the wine command found now, which may be the
    # 64-bit-only one of tav_wine_loader, not one a build folder configured earlier remembers.
    (cd "$TAV_ROOT" && cmake --preset "$preset" -DTAV_WINE="$(command -v wine || true)" >/dev/null &&
      cmake --build --preset "$preset") || return
  done
}

tav_build_host() {
  (cd "$TAV_ROOT" && cmake --preset host >/dev/null && cmake --build --preset host)
}
