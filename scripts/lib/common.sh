# shellcheck shell=bash
# Shared by scripts/run, scripts/test and scripts/bench: packages, locale, Wine prefix, display.
# Source it from bash; every function prints what it does on stderr only when it has work to do.

TAV_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

# tav_check_checkout_path PATH: fails, with one line, when PATH holds a character that a shell
# reads. Debian's windres joins its preprocessor's command (the include folders and the .rc file,
# all under the checkout) into one string for sh without quoting it for the shell, so such a
# checkout would fail in the middle of the build. Spaces and Chinese characters are fine.
# CMakeLists.txt makes the same check when a build folder is configured.
tav_check_checkout_path() {
  local special=$'[&\'"`$;|<>()*?[\\\t\n]' name
  [[ $1 =~ $special ]] || return 0
  case ${BASH_REMATCH[0]} in
    $'\t') name="a tab" ;;
    $'\n') name="a line break" ;;
    "'") name="\"'\"" ;;
    *) name="'${BASH_REMATCH[0]}'" ;;
  esac
  local shown=${1//$'\n'/\\n}
  echo "The checkout path ${shown//$'\t'/\\t} holds $name, which the shell of the resource compiler reads: move the checkout to a path without it" >&2
  return 1
}
tav_check_checkout_path "$TAV_ROOT" || exit 2

# Packages every script needs: native and cross compilers, GoogleTest (built, and as sources for
# the cross build), Wine for 64- and 32-bit programs, a virtual display, CJK fonts, screenshots and
# reading them back (OCR), the Chinese locale, clang's libFuzzer runtime, zip checks for the
# release, gdb, which reads the Unix stacks of a stalled end-to-end phase, and shellcheck, which
# the test command runs on every script. Every name is one that Debian 12 and 13 both carry
# without a version in it, so that each release gets its own.
TAV_PACKAGES=(cmake ninja-build g++ clang libclang-rt-dev libgtest-dev libgmock-dev
  googletest mingw-w64 wine wine64 wine32:i386 xvfb x11-utils locales fonts-wqy-zenhei fonts-wine
  imagemagick python3 gdb shellcheck
  fonts-arphic-gbsn00lp tesseract-ocr tesseract-ocr-chi-sim)
# One formatter on every release: a file formatted by one major version of clang-format can fail
# another's check. Debian 12 and 13 both carry clang-format-19 (12 in its main suite since a
# point release), which scripts/test runs.
TAV_CLANG_FORMAT=clang-format-19
TAV_PACKAGES+=("$TAV_CLANG_FORMAT")

# tav_default_sigint ARG...: called first by a script that traps Ctrl-C, with the script's
# arguments. Started in the background by a non-interactive shell (cmd &), a script begins with
# SIGINT ignored, which bash can then neither trap nor reset: a Ctrl-C sent to the run's process
# group would end its Wine programs and display but not the script, which would go on without
# them. Such a script starts itself once more with SIGINT at its default.
tav_default_sigint() {
  local ignored
  ignored=$(awk '/^SigIgn:/ { print $2 }' "/proc/$$/status")
  if (((16#$ignored >> 1) & 1)) && [ -z "${TAV_SIGINT_RESET:-}" ]; then
    TAV_SIGINT_RESET=1 exec env --default-signal=INT "$BASH" "$0" "$@"
  fi
  unset TAV_SIGINT_RESET
}

# tav_in_own_group COMMAND...: runs COMMAND in a process group of its own and waits for it. A
# Ctrl-C at the terminal then reaches only the script, whose trap passes it on to the whole group
# with tav_end_group: so every test started under it gets SIGTERM and cleans up, ctest or not.
TAV_GROUP=''
tav_in_own_group() {
  set -m
  "$@" &
  TAV_GROUP=$!
  set +m
  local rc=0
  wait "$TAV_GROUP" || rc=$?
  TAV_GROUP=''
  return "$rc"
}

# tav_end_group: SIGTERM to the group, then waits until all of it has ended (after 60 s SIGKILL).
tav_end_group() {
  [ -n "$TAV_GROUP" ] || return 0
  kill -TERM -- "-$TAV_GROUP" 2>/dev/null
  local deadline=$((SECONDS + 60))
  while kill -0 -- "-$TAV_GROUP" 2>/dev/null; do
    [ "$SECONDS" -lt "$deadline" ] || kill -KILL -- "-$TAV_GROUP" 2>/dev/null
    sleep 0.2
  done
  wait "$TAV_GROUP" 2>/dev/null
  TAV_GROUP=''
}

tav_sudo() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

tav_install_packages() {
  local missing=() p
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

# How this machine runs 32-bit Windows programs, in TAV_WINE32 (exported, so that scripts/wine
# started by ctest or by the tests finds it decided):
#   native     the kernel runs Wine's 32-bit loader itself
#   namespace  it does not; qemu-i386 runs it, registered for i386 programs in a private user and
#              mount namespace that each wine command enters (Linux 6.7 or later; nothing outside
#              sees the handler)
#   global     the same handler registered machine-wide for the run (root, older kernels)
#   none       neither: Wine runs 64-bit programs only, and the 32-bit tests are skipped
# The scripts choose the route themselves; TAV_WINE32 set by hand forces one, for example the
# emulator's on a machine that runs 32-bit code natively, and it is then set up the same way.
# TAV_WINE32_READY marks the route as set up for the scripts and programs started from here.
# Every wine, wine-stable and wineboot of the scripts goes through scripts/wine, first on PATH.
tav_wine_loader() {
  if [ -z "${TAV_WINE32_READY:-}" ]; then
    if [ -n "${TAV_WINE32:-}" ]; then
      tav_check_forced_wine32_route || exit 2
      TAV_WINE32_WHY="TAV_WINE32=none was set"
    else
      TAV_WINE32=$(tav_wine32_route)
      TAV_WINE32_WHY="the kernel runs no 32-bit code, and the emulator can be registered neither in a user namespace (Linux 6.7 or later) nor machine-wide (root)"
      if tav_wine32_emulated && ! tav_fetch_qemu_i386; then
        TAV_WINE32_WHY="the kernel runs no 32-bit code, and the emulator for 32-bit programs could not be fetched"
        TAV_WINE32=none
      fi
    fi
    [ "$TAV_WINE32" != none ] || echo "Wine runs 64-bit Windows programs only here: $TAV_WINE32_WHY" >&2
    # Why there is no route, for the SKIP lines of the scripts started from here.
    export TAV_WINE32 TAV_WINE32_WHY TAV_WINE32_READY=1
    [ "$TAV_WINE32" != global ] || tav_register_i386_for_run
  fi
  local bin="$TAV_ROOT/build/wine-bin" name
  mkdir -p "$bin"
  for name in wine wine-stable; do
    ln -sfn "$TAV_ROOT/scripts/wine" "$bin/$name"
  done
  case ":$PATH:" in *":$bin:"*) ;; *) export PATH="$bin:$PATH" ;; esac
}

tav_wine32_emulated() { [ "$TAV_WINE32" = namespace ] || [ "$TAV_WINE32" = global ]; }

# A route forced by hand must be one this machine can take; the emulator is fetched for it. Says
# why not, and fails, when it cannot be taken.
tav_check_forced_wine32_route() {
  case $TAV_WINE32 in
    native | none) return 0 ;;
    namespace | global) ;;
    *) echo "TAV_WINE32 must be native, namespace, global or none, not '$TAV_WINE32'" >&2 && return 1 ;;
  esac
  if ! tav_wine32_route_possible "$TAV_WINE32"; then
    echo "TAV_WINE32=$TAV_WINE32: this machine cannot take that route (namespace needs binfmt_misc in a user namespace, Linux 6.7 or later; global needs root and binfmt_misc)" >&2
    return 1
  fi
  if ! tav_fetch_qemu_i386; then
    echo "TAV_WINE32=$TAV_WINE32: the emulator for 32-bit programs could not be fetched" >&2
    return 1
  fi
}

# The first route this machine can take, in the order of the list above.
tav_wine32_route() {
  local route
  for route in native namespace global none; do
    ! tav_wine32_route_possible "$route" || { echo "$route" && return; }
  done
}

tav_wine32_route_possible() {
  case $1 in
    # Also where no 32-bit Wine is installed at all, which Debian's wine command reports itself.
    native) [ ! -x /usr/lib/wine/wine ] || /usr/lib/wine/wine --version >/dev/null 2>&1 ;;
    namespace) tav_binfmt_in_namespace ;;
    global) [ "$(id -u)" -eq 0 ] && tav_binfmt_mounted_globally ;;
    none) true ;;
  esac
}

tav_binfmt_in_namespace() {
  unshare --user --map-root-user --mount \
    sh -c 'mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc' >/dev/null 2>&1
}

tav_binfmt_mounted_globally() {
  [ -w /proc/sys/fs/binfmt_misc/register ] ||
    mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc >/dev/null 2>&1
}

# The emulator of 32-bit x86 programs: the static qemu-i386 of qemu-user 10 or later (Wine's
# address-space reservation crawls under older ones, such as Debian 12's 7.2). It comes from the
# release's own suite where that is new enough (Debian 13), from its backports suite where not. It
# is fetched once with a private apt state, so the machine's apt configuration stays as it is.
TAV_QEMU_I386="$TAV_ROOT/build/tools/qemu-i386"
TAV_QEMU_MIN_VERSION=1:10.0

tav_fetch_qemu_i386() {
  "$TAV_QEMU_I386" --version >/dev/null 2>&1 && return 0
  local archive codename work suite
  archive=$(tav_debian_archive)
  codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
  [ -n "$archive" ] && [ -n "$codename" ] || return 1
  work=$(mktemp -d)
  mkdir -p "$work/lists/partial" "$work/cache/archives/partial" "$(dirname "$TAV_QEMU_I386")"
  for suite in "$codename" "$codename-backports"; do
    echo "deb [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $archive $suite main"
  done >"$work/sources.list"
  local apt=(-o Dir::Etc::SourceList="$work/sources.list" -o Dir::Etc::SourceParts=/nonexistent
    -o Dir::State::Lists="$work/lists" -o Dir::Cache="$work/cache" -o APT::Architectures::=amd64
    -o Debug::NoLocking=1 -o APT::Sandbox::User=root -qq)
  if apt-get "${apt[@]}" update >&2 && suite=$(tav_qemu_suite "$codename" "${apt[@]}"); then
    echo "Fetching qemu-i386 from $suite" >&2
    if (cd "$work" && apt-get "${apt[@]}" download "qemu-user/$suite" >&2) &&
      dpkg-deb --fsys-tarfile "$work"/qemu-user_*.deb | tar -x -O ./usr/bin/qemu-i386 >"$work/qemu-i386" &&
      chmod +x "$work/qemu-i386" && "$work/qemu-i386" --version >/dev/null; then
      mv "$work/qemu-i386" "$TAV_QEMU_I386"
    fi
  fi
  rm -rf "$work"
  "$TAV_QEMU_I386" --version >/dev/null 2>&1
}

# tav_qemu_suite CODENAME APT_OPTION...: the suite whose qemu-user is new enough, the release's own
# first; fails when neither is.
tav_qemu_suite() {
  local codename=$1 suite version
  shift
  for suite in "$codename" "$codename-backports"; do
    version=$(apt-cache "$@" madison qemu-user |
      awk -F' [|] ' -v suite="$suite" '{ split($3, f, " "); split(f[2], s, "/"); if (s[1] == suite) { print $2; exit } }')
    if [ -n "$version" ] && dpkg --compare-versions "$version" ge "$TAV_QEMU_MIN_VERSION"; then
      echo "$suite"
      return 0
    fi
  done
  echo "No qemu-user $TAV_QEMU_MIN_VERSION or later in $codename or $codename-backports" >&2
  return 1
}

# The address of Debian's main archive, read from the machine's own apt sources (deb822 or
# one-line form): the entry that serves this release's own suite.
tav_debian_archive() {
  local codename
  codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
  {
    awk -v suite="$codename" 'BEGIN { RS = "" } {
        uri = ""; found = 0; n = split($0, line, "\n")
        for (i = 1; i <= n; i++) {
          if (line[i] ~ /^URIs:/) { split(line[i], f, " "); uri = f[2] }
          if (line[i] ~ /^Suites:/) { m = split(line[i], f, " "); for (j = 2; j <= m; j++) if (f[j] == suite) found = 1 }
        }
        if (found && uri != "") print uri
      }' /etc/apt/sources.list.d/*.sources 2>/dev/null
    awk -v suite="$codename" '$1 == "deb" {
        for (i = 2; i < NF; i++) if ($i ~ /^[a-z+]+:\/\//) { if ($(i + 1) == suite) print $i; break }
      }' /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null
  } | head -n 1
}

# tav_register_i386: registers qemu-i386 for i386 ELF programs with binfmt_misc, which must be
# mounted. Flag F opens the emulator now, so the programs find it whatever their mounts.
TAV_BINFMT_NAME=tav-i386
tav_register_i386() {
  [ -e "/proc/sys/fs/binfmt_misc/$TAV_BINFMT_NAME" ] && return 0
  local magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
  local mask='\xff\xff\xff\xff\xff\xfe\xfe\xfc\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
  echo ":$TAV_BINFMT_NAME:M::$magic:$mask:$TAV_QEMU_I386:F" >/proc/sys/fs/binfmt_misc/register
}

# Machine-wide, the script that registers the handler (TAV_BINFMT_OWNER) removes it again with
# tav_wine_teardown when it ends.
tav_register_i386_for_run() {
  [ ! -e "/proc/sys/fs/binfmt_misc/$TAV_BINFMT_NAME" ] || return 0
  tav_register_i386 && export TAV_BINFMT_OWNER=$$
}

tav_wine_teardown() {
  if [ "${TAV_BINFMT_OWNER:-}" = $$ ] && [ -e "/proc/sys/fs/binfmt_misc/$TAV_BINFMT_NAME" ]; then
    echo -1 >"/proc/sys/fs/binfmt_misc/$TAV_BINFMT_NAME"
  fi
  return 0
}

# tav_skip WHAT REASON: says that WHAT cannot run and why; REASON is what actually failed. The
# tests that skip exit with 77 (CTest's SKIP_RETURN_CODE), and the closing lines count them.
tav_skip() { echo "SKIP - $1: $2"; }

# tav_skip_without_wine32 WHAT: true (after a SKIP line) when 32-bit programs cannot run here.
tav_skip_without_wine32() {
  tav_wine_loader
  [ "$TAV_WINE32" = none ] || return 1
  tav_skip "$1" "no 32-bit programs run here: ${TAV_WINE32_WHY:-TAV_WINE32=none was set}"
}

# tav_pe_bits FILE: the processor type of a Windows program, 32 or 64; nothing for another file.
tav_pe_bits() {
  local header machine
  [ "$(head -c 2 "$1" 2>/dev/null)" = MZ ] || return 0
  header=$(od -An -t u4 -j 60 -N 4 "$1" | tr -d ' ')
  machine=$(od -An -t x2 -j $((header + 4)) -N 2 "$1" | tr -d ' ')
  if [ "$machine" = 014c ]; then echo 32; else echo 64; fi
}

# Wine takes its ANSI code page from the Unix locale: zh_CN.UTF-8 gives code page 936 (GBK). A
# locale whose Windows counterpart has no ANSI code page of its own gives 65001 for the ANSI and
# the OEM code page, as Windows does with its option to use UTF-8 for them.
TAV_UTF8_LOCALE=hi_IN.UTF-8
tav_setup_locale() {
  local locale
  for locale in zh_CN.UTF-8 "$TAV_UTF8_LOCALE"; do
    # locale -a spells the charset "utf8".
    locale -a 2>/dev/null | grep -qix "${locale%%.*}\.utf-\?8" && continue
    echo "Generating the $locale locale" >&2
    tav_sudo sed -i "s/^# *\($locale UTF-8\)/\1/" /etc/locale.gen
    grep -q "^$locale UTF-8" /etc/locale.gen || echo "$locale UTF-8" | tav_sudo tee -a /etc/locale.gen >/dev/null
    tav_sudo locale-gen >/dev/null
  done
}

# tav_wine_prefix DIR: use (and create once) a Wine prefix of the project's own.
tav_wine_prefix() {
  tav_wine_loader
  export WINEPREFIX
  WINEPREFIX=$(realpath -m "$1")
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  export LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8
  export TAV_WINE_READY=1
  # A prefix of the project's own that was made where 32-bit programs could not run lacks their
  # system files; where they can run now, it is made anew.
  if [ -f "$WINEPREFIX/.tav-ready" ] && [ "$TAV_WINE32" != none ] &&
    [ ! -f "$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll" ] &&
    [[ $(cd "$WINEPREFIX" && pwd) == "$TAV_ROOT"/build/* ]]; then
    echo "Making the Wine prefix $WINEPREFIX anew, with 32-bit programs" >&2
    wineserver -k 2>/dev/null || true
    rm -rf "$WINEPREFIX"
  fi
  if [ ! -f "$WINEPREFIX/.tav-ready" ]; then
    echo "Creating the Wine prefix $WINEPREFIX" >&2
    mkdir -p "$WINEPREFIX"
    TAV_WINE_NEW_PREFIX=1 timeout -k 10 300 wineboot -i >/dev/null 2>&1 ||
      { echo "wineboot did not finish" >&2; return 1; }
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

# tav_wine_session DIR: the prefix DIR, a display, and the prefix's fonts, which need the display.
tav_wine_session() { tav_wine_prefix "$1" && tav_ensure_display && tav_wine_fonts; }

# tav_map_drive_d DIR: drive D: of the prefix becomes DIR (created if missing).
tav_map_drive_d() {
  mkdir -p "$1"
  ln -sfn "$(cd "$1" && pwd)" "$WINEPREFIX/dosdevices/d:"
}

# tav_set_dpi N: the prefix's screen scale in dots per inch (96 = 100 %, 144 = 150 %).
tav_set_dpi() {
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
  tav_wine_stop
}

# tav_ensure_display: start a private Xvfb when there is no display; TAV_XVFB_PID is set then.
tav_ensure_display() {
  [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1 || return 0
  local fifo
  fifo=$(mktemp -u)
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
  TAV_XVFB_PID=$!
  local n
  read -r -t 20 n <"$fifo" || { echo "Xvfb did not start" >&2; rm -f "$fifo"; return 1; }
  rm -f "$fifo"
  export DISPLAY=":$n"
  # shellcheck disable=SC2034 # read by the scripts that source this file
  TAV_HEADLESS=1
}

tav_stop_display() {
  [ -n "${TAV_XVFB_PID:-}" ] || return 0
  kill "$TAV_XVFB_PID" 2>/dev/null || true
  wait "$TAV_XVFB_PID" 2>/dev/null || true
  unset TAV_XVFB_PID
}

# tav_build_windows [PRESET...]: the cross builds, by default the 64-bit one (build/windows).
tav_build_windows() {
  tav_wine_loader
  local preset
  for preset in "${@:-windows}"; do
    # The unit tests of a Windows build run under scripts/wine, also in a build folder that an
    # earlier version configured with another command.
    (cd "$TAV_ROOT" && cmake --preset "$preset" -DTAV_WINE="$TAV_ROOT/scripts/wine" >/dev/null &&
      cmake --build --preset "$preset") || return
  done
}

# Chinese text as a Chinese Windows draws it. The program asks for 宋体, and the system's menu,
# message and dialog fonts are Latin faces whose Chinese comes through font links; Wine's own links
# lead to faces that are not there, so texts come out as boxes (Wine 10) or as 12-pixel outlines
# that lose strokes (Wine 8). AR PL SungtiL GB is a Song face like 宋体, with its metrics (every
# Chinese character exactly one em wide, so captions sized for 宋体 fit) and its way of drawing:
# its table of sizes asks for crisp hinted strokes up to 18 pixels and for smoothing above, which
# Wine follows once smoothing is on. (AR PL UMing is an em and a pixel wide from 19 pixels on, and
# the captions wrap at 150 %.) Wine 10 keeps its own Tahoma for the menu and the message font and
# takes their Chinese from a fallback face: right, though not this one.
TAV_SONG_FACE="AR PL SungtiL GB"
TAV_FONT_NAMES=(宋体 SimSun 新宋体 NSimSun "Microsoft YaHei" 微软雅黑 Tahoma "MS Shell Dlg" "MS Shell Dlg 2")

# tav_wine_fonts: the prefix's font replacements and smoothing, written once per prefix (and anew
# when they change here). Call it after tav_ensure_display: a wine command without a display starts
# the prefix's desktop without one, and the next window cannot open.
tav_wine_fonts() {
  local reg name stamp="$WINEPREFIX/.tav-fonts"
  reg=$(
    printf 'Windows Registry Editor Version 5.00\r\n\r\n'
    printf '[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n'
    for name in "${TAV_FONT_NAMES[@]}"; do printf '"%s"="%s"\r\n' "$name" "$TAV_SONG_FACE"; done
    printf '\r\n[HKEY_CURRENT_USER\\Control Panel\\Desktop]\r\n'
    printf '"FontSmoothing"="2"\r\n"FontSmoothingType"=dword:00000001\r\n'
  )
  [ "$(cat "$stamp" 2>/dev/null)" != "$reg" ] || return 0
  echo "Setting the Chinese fonts of the Wine prefix $WINEPREFIX" >&2
  local file="$WINEPREFIX/drive_c/tav-fonts.reg"
  # regedit reads UTF-16 with a byte-order mark, which carries the Chinese names.
  { printf '\xff\xfe'; printf '%s\r\n' "$reg" | iconv -f UTF-8 -t UTF-16LE; } >"$file"
  wine regedit /S 'C:\tav-fonts.reg' >/dev/null 2>&1 || { echo "the fonts could not be set" >&2; return 1; }
  rm -f "$file"
  # Running programs read the settings at start: they take effect from the next server.
  tav_wine_stop
  printf '%s' "$reg" >"$stamp"
}

# tav_screen_picture WxH+X+Y FILE: a PNG of that rectangle of the screen, the same bytes for the
# same pixels (no time stamps). Taken again until two takes agree, so that a paint still on its way
# to the screen cannot end up half in the picture.
tav_screen_picture() {
  local geometry=$1 file=$2 previous="" current
  for _ in 1 2 3 4 5 6 7 8 9 10; do
    current=$(import -window root -crop "$geometry" +repage rgb:- | sha256sum)
    [ "$current" = "$previous" ] && break
    previous=$current
    sleep 0.3
  done
  import -window root -crop "$geometry" +repage -strip -define png:exclude-chunks=date,time "png:$file"
}
