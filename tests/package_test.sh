#!/usr/bin/env bash
# The Debian package: builds it with cpack from the build folder given, then checks what it
# holds, its control files, manual pages (English and Portuguese), systemd units, copyright,
# changelog, chime and lintian's verdict.
#
#   package_test.sh BUILD_DIR             the package as built (no root needed; a ctest)
#   package_test.sh --install BUILD_DIR   installs it for real, as root, on a machine without
#                                         the package: an upgrade from the 1.0.0 layout, a
#                                         reinstall and an upgrade keep the administrator's
#                                         edits; the kiosk's user, painel-quiosque ativar,
#                                         estado and desativar as far as a machine without a
#                                         running systemd allows; purged at the end, which
#                                         removes the user and the units (tools/test.sh runs it)
set -euo pipefail
INSTALL=0
if [ "${1:-}" = --install ]; then
  INSTALL=1
  shift
fi
BUILD=$(cd "$1" && pwd)
SOURCE=$(cd "$(dirname "$0")/.." && pwd)
OUT=$(mktemp -d /tmp/painel-package.XXXXXX)
trap 'rm -rf "$OUT"' EXIT

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
finish() {
  if [ "$failures" -gt 0 ]; then
    echo "$failures check(s) failed; $1" >&2
    exit 1
  fi
  echo "$1: passed"
}

# Builds the package into a folder of its own; extra arguments go to cpack (-D VAR=VALUE).
build_deb() {
  local dir=$1
  shift
  mkdir -p "$dir"
  if ! cpack --config "$BUILD/CPackConfig.cmake" -G DEB -B "$dir" "$@" >"$dir/cpack.log" 2>&1; then
    cat "$dir/cpack.log" >&2
    exit 1
  fi
  local debs=("$dir"/*.deb)
  [ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || { echo "FAIL: expected one .deb in $dir" >&2; exit 1; }
  echo "${debs[0]}"
}

deb=$(build_deb "$OUT/deb")
version=$(dpkg-deb -f "$deb" Version)

# ===========================================================================================
# The installation for real (root only)
# ===========================================================================================
if [ "$INSTALL" = 1 ]; then
  [ "$(id -u)" -eq 0 ] || { echo "FAIL: --install needs root" >&2; exit 1; }
  if dpkg-query -W -f='${Status}' painel 2>/dev/null | grep -q installed; then
    echo "FAIL: painel is installed on this machine; this test installs and purges it: remove it first" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  dpkg_i() { dpkg --force-confdef --force-confold -i "$1" >"$OUT/dpkg.log" 2>&1 || { cat "$OUT/dpkg.log" >&2; fail "dpkg -i $(basename "$1")"; }; }
  trap 'dpkg --purge painel >/dev/null 2>&1 || true; rm -rf "$OUT"' EXIT

  # The 1.0.0 layout: the two configuration files as conffiles in /opt/painel.
  old=$OUT/old
  mkdir -p "$old/DEBIAN" "$old/opt/painel"
  cp "$SOURCE/packaging/config.ini" "$SOURCE/packaging/configserver.txt" "$old/opt/painel/"
  printf '/opt/painel/config.ini\n/opt/painel/configserver.txt\n' >"$old/DEBIAN/conffiles"
  printf 'Package: painel\nVersion: 1.0.0\nArchitecture: all\nMaintainer: Test <test@example.org>\nDescription: the 1.0.0 layout\n' >"$old/DEBIAN/control"
  dpkg-deb --build --root-owner-group "$old" "$OUT/painel_1.0.0_all.deb" >/dev/null
  dpkg_i "$OUT/painel_1.0.0_all.deb"
  printf '[sgbd]\r\nfatura=/nowhere/edited-before-1.1.fdb\r\n' >/opt/painel/config.ini

  # Upgrade to this package: the edited file moves to /etc/painel, the unedited one goes.
  dpkg_i "$deb"
  grep -q 'edited-before-1.1' /etc/painel/config.ini 2>/dev/null || fail "upgrade from 1.0.0: the edited config.ini was not kept"
  cmp -s /etc/painel/config.ini.dpkg-dist "$SOURCE/packaging/config.ini" || fail "upgrade from 1.0.0: the new sample is not kept as config.ini.dpkg-dist"
  cmp -s /etc/painel/configserver.txt "$SOURCE/packaging/configserver.txt" || fail "upgrade from 1.0.0: configserver.txt is not the package's"
  for f in config.ini configserver.txt NOTIFY.WAV; do
    [ "$(readlink /opt/painel/$f)" = "/etc/painel/$f" ] || fail "/opt/painel/$f is not a link to /etc/painel/$f"
  done
  leftovers=$(ls /opt/painel | grep -E '\.dpkg-(backup|remove)$' || true)
  [ -z "$leftovers" ] || fail "upgrade from 1.0.0 left $leftovers"

  # The administrator edits every file, replaces the chime: a reinstall and an upgrade keep it all.
  printf '[sgbd]\r\nfatura=/nowhere/edited.fdb\r\n' >/etc/painel/config.ini
  printf '2411\r\n1\r\nN\r\nS\r\n' >/etc/painel/configserver.txt
  sox -n -r 22050 -c 1 -b 16 "$OUT/own.wav" synth 0.4 sine 880 fade 0.01 0.4 0.1 2>/dev/null ||
    head -c 4096 /dev/urandom >"$OUT/own.wav"
  cp "$OUT/own.wav" /etc/painel/NOTIFY.WAV
  sed -i 's/^Name=.*/Name=Painel da recepção/' /etc/xdg/autostart/painel.desktop
  edits() {
    grep -q 'edited.fdb' /etc/painel/config.ini || fail "$1: config.ini lost its edit"
    [ "$(sed -n 3p /etc/painel/configserver.txt | tr -d '\r')" = N ] || fail "$1: configserver.txt lost its edit"
    cmp -s /etc/painel/NOTIFY.WAV "$OUT/own.wav" || fail "$1: the replaced NOTIFY.WAV was not kept"
    grep -qx 'Name=Painel da recepção' /etc/xdg/autostart/painel.desktop || fail "$1: the autostart entry lost its edit"
  }
  dpkg_i "$deb"
  edits "reinstall of $version"
  newer=$(build_deb "$OUT/newer" -D CPACK_PACKAGE_VERSION=9.9.9)
  [ "$(dpkg-deb -f "$newer" Version)" = 9.9.9 ] || fail "the rebuilt package is not 9.9.9"
  dpkg_i "$newer"
  [ "$(dpkg-query -W -f='${Version}' painel)" = 9.9.9 ] || fail "the upgrade to 9.9.9 did not happen"
  edits "upgrade to 9.9.9"

  # The installed panel reads its configuration through the links, from /opt/painel.
  (cd /opt/painel && PAINEL_ERRORS=stderr QT_QPA_PLATFORM=offscreen timeout 10 ./painel >"$OUT/run.log" 2>&1) || true
  grep -q 'edited.fdb' "$OUT/run.log" || { cat "$OUT/run.log" >&2; fail "the installed panel did not read /etc/painel/config.ini"; }
  man -w chamar >/dev/null 2>&1 || fail "man chamar finds no page"
  man -L pt_BR -w painel 2>/dev/null | grep -q '/pt_BR/' || fail "man -L pt_BR painel finds no Portuguese page"
  man -L C -w painel 2>/dev/null | grep -q '/man/man1/' || fail "the English page is not the default"
  command -v chamar >/dev/null || fail "chamar is not on the PATH"

  # The kiosk's user: a system user without password or login shell, in the groups it needs.
  entry=$(getent passwd painel) || fail "the package did not create the user painel"
  IFS=: read -r _ _ uid _ _ home shell <<<"$entry"
  [ "${uid:-1000}" -lt 1000 ] || fail "painel is not a system user (uid $uid)"
  [ "$shell" = /usr/sbin/nologin ] || fail "painel has the login shell $shell"
  [ "$home" = /var/lib/painel ] || fail "painel's home is $home"
  [ "$(passwd -S painel | cut -d' ' -f2)" = L ] || fail "painel has a password: $(passwd -S painel)"
  for g in audio video input $(getent group firebird >/dev/null && echo firebird); do
    id -nG painel | grep -qw "$g" || fail "painel is not in the group $g: $(id -nG painel)"
  done
  # painel-quiosque: root only where it changes the machine, said in Portuguese.
  refused=$(runuser -u nobody -- painel-quiosque ativar 2>&1) && fail "painel-quiosque ativar ran for a user"
  grep -q 'é preciso ser root' <<<"$refused" || fail "painel-quiosque ativar as a user: $refused"
  # Without a running systemd (a container) ativar enables the kiosk for the next start.
  wants=/etc/systemd/system/graphical.target.wants/painel-quiosque.service
  said=$(painel-quiosque ativar 2>&1) || fail "painel-quiosque ativar: $said"
  [ -L "$wants" ] || fail "painel-quiosque ativar did not enable the kiosk: $said"
  if [ ! -d /run/systemd/system ]; then
    grep -q 'começa na próxima inicialização' <<<"$said" || fail "painel-quiosque ativar without systemd: $said"
  fi
  state=$(painel-quiosque estado 2>&1) || fail "painel-quiosque estado: $state"
  for line in 'Ativado: sim' 'Em execução: ' 'Porta 2411: ' 'Banco de dados: o arquivo /nowhere/edited.fdb NÃO existe' \
              'Últimos erros do painel:'; do
    grep -qF "$line" <<<"$state" || fail "painel-quiosque estado lacks '$line': $state"
  done
  painel-quiosque desativar >/dev/null 2>&1 || fail "painel-quiosque desativar"
  [ ! -e "$wants" ] || fail "painel-quiosque desativar left the kiosk enabled"
  painel-quiosque ativar >/dev/null 2>&1 || fail "painel-quiosque ativar, again"

  dpkg --purge painel >"$OUT/dpkg.log" 2>&1 || { cat "$OUT/dpkg.log" >&2; fail "dpkg --purge"; }
  [ ! -e /etc/painel ] && [ ! -e /opt/painel ] || fail "purge left /etc/painel or /opt/painel"
  ! getent passwd painel >/dev/null || fail "purge left the user painel"
  ! getent group painel >/dev/null || fail "purge left the group painel"
  for f in "$wants" /usr/lib/systemd/system/painel-quiosque.service /usr/lib/systemd/user/painel.service /var/lib/painel; do
    [ ! -e "$f" ] && [ ! -L "$f" ] || fail "purge left $f"
  done
  finish "package $(basename "$deb") installed, upgraded and purged"
  exit 0
fi

# ===========================================================================================
# The package as built
# ===========================================================================================

# --- contents: type, mode and link target of every entry, and nothing else ----------------
contents=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { t = $6; if ($7 == "->") t = t " -> " $8; print $1, t }')
expected=$(
  cat <<'EOF_FILES'
-rwxr-xr-x ./opt/painel/painel
-rwxr-xr-x ./opt/painel/chamar
-rwxr-xr-x ./opt/painel/codificar
-rwxr-xr-x ./opt/painel/falar
-rwxr-xr-x ./opt/painel/painel-quiosque
-rwxr-xr-x ./opt/painel/sessao-quiosque
lrwxrwxrwx ./opt/painel/config.ini -> /etc/painel/config.ini
lrwxrwxrwx ./opt/painel/configserver.txt -> /etc/painel/configserver.txt
lrwxrwxrwx ./opt/painel/NOTIFY.WAV -> /etc/painel/NOTIFY.WAV
lrwxrwxrwx ./usr/bin/chamar -> /opt/painel/chamar
lrwxrwxrwx ./usr/bin/codificar -> /opt/painel/codificar
lrwxrwxrwx ./usr/bin/falar -> /opt/painel/falar
lrwxrwxrwx ./usr/bin/painel-quiosque -> /opt/painel/painel-quiosque
-rw-r--r-- ./etc/painel/config.ini
-rw-r--r-- ./etc/painel/configserver.txt
-rw-r--r-- ./etc/painel/NOTIFY.WAV
-rw-r--r-- ./etc/xdg/autostart/painel.desktop
-rw-r--r-- ./usr/lib/systemd/user/painel.service
-rw-r--r-- ./usr/lib/systemd/system/painel-quiosque.service
-rw-r--r-- ./usr/share/doc/painel/README.md
-rw-r--r-- ./usr/share/doc/painel/copyright
-rw-r--r-- ./usr/share/doc/painel/changelog.gz
-rw-r--r-- ./usr/share/doc/painel/docs/encoding-tool.md
-rw-r--r-- ./usr/share/doc/painel/docs/ajustar.png
-rw-r--r-- ./usr/share/doc/painel/docs/guia-do-administrador.md
-rw-r--r-- ./usr/share/doc/painel/docs/demo-panel.png
-rw-r--r-- ./usr/share/doc/painel/docs/privacidade.png
-rw-r--r-- ./usr/share/lintian/overrides/painel
EOF_FILES
  for page in "$SOURCE"/packaging/man/*.1; do
    echo "-rw-r--r-- ./usr/share/man/man1/$(basename "$page").gz"
  done
  for page in "$SOURCE"/packaging/man/pt_BR/*.1; do
    echo "-rw-r--r-- ./usr/share/man/pt_BR/man1/$(basename "$page").gz"
  done
)
missing=$(comm -13 <(sort <<<"$contents") <(sort <<<"$expected"))
extra=$(comm -23 <(sort <<<"$contents") <(sort <<<"$expected"))
[ -z "$missing" ] || fail "missing, or with another mode or target: $missing"
[ -z "$extra" ] || fail "not expected: $extra"
[ -n "$(ls "$SOURCE"/packaging/man/*.1 2>/dev/null)" ] || fail "no manual pages in packaging/man"
# Every page in both languages.
untranslated=$(diff <(cd "$SOURCE/packaging/man" && ls ./*.1) <(cd "$SOURCE/packaging/man/pt_BR" && ls ./*.1) || true)
[ -z "$untranslated" ] || fail "the English and Portuguese manual pages differ: $untranslated"

# --- control: fields, dependencies, conffiles, maintainer scripts --------------------------
depends=$(dpkg-deb -f "$deb" Depends)
names=$(tr ',' '\n' <<<"$depends" | sed -E 's/^ *//; s/[ (].*$//')
for p in libqt6core6 libqt6gui6 libqt6widgets6 libqt6network6 libgstreamer1.0-0 libgstreamer-plugins-base1.0-0 \
         gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-ugly gstreamer1.0-libav gstreamer1.0-x \
         libespeak-ng1 espeak-ng-data libfbclient2 fonts-liberation; do
  grep -qx "$p" <<<"$names" || fail "Depends lacks $p: $depends"
done
dups=$(sort <<<"$names" | uniq -d)
[ -z "$dups" ] || fail "Depends names a package twice: $dups"
recommends=$(dpkg-deb -f "$deb" Recommends)
# The embedded engine and what only the kiosk needs are recommended.
for p in firebird3.0-server-core xserver-xorg xinit xauth x11-xserver-utils unclutter-xfixes pulseaudio; do
  grep -qw "$p" <<<"$recommends" || fail "Recommends lacks $p: $recommends"
done
[ "$(dpkg-deb -f "$deb" Package)" = painel ] || fail "package name: $(dpkg-deb -f "$deb" Package)"

mkdir "$OUT/control" "$OUT/root"
dpkg-deb -e "$deb" "$OUT/control"
conffiles=$(sort "$OUT/control/conffiles" 2>/dev/null || true)
want_conffiles=$(printf '%s\n' /etc/painel/NOTIFY.WAV /etc/painel/config.ini /etc/painel/configserver.txt \
  /etc/xdg/autostart/painel.desktop | sort)
[ "$conffiles" = "$want_conffiles" ] || fail "conffiles: $(tr '\n' ' ' <<<"$conffiles")"
for script in preinst postinst prerm postrm; do
  f=$OUT/control/$script
  if [ ! -x "$f" ]; then
    fail "no executable $script"
  elif ! sh -n "$f"; then
    fail "$script is not valid shell"
  fi
done

# --- the files themselves ------------------------------------------------------------------
dpkg-deb -x "$deb" "$OUT/root"
R=$OUT/root
# configserver.txt is read from the working directory: both ways of starting set it.
grep -qx 'Exec=/opt/painel/painel' "$R/etc/xdg/autostart/painel.desktop" || fail "autostart entry: Exec"
grep -qx 'Path=/opt/painel' "$R/etc/xdg/autostart/painel.desktop" || fail "autostart entry: no Path=/opt/painel"
grep -qx 'WorkingDirectory=/opt/painel' "$R/usr/lib/systemd/user/painel.service" || fail "unit: no WorkingDirectory"
grep -qx 'ExecStart=/opt/painel/painel' "$R/usr/lib/systemd/user/painel.service" || fail "unit: ExecStart"
# The watchdog: the panel notifies systemd, which restarts it when its window's thread freezes.
for setting in Type=notify WatchdogSec=120 Restart=on-failure; do
  grep -qx "$setting" "$R/usr/lib/systemd/user/painel.service" || fail "unit: no $setting"
done
# Both units as systemd reads them, without a warning (a running systemd is not needed), and
# hardened: systemd's exposure figure may not grow back.
export XDG_RUNTIME_DIR=$OUT/runtime
mkdir -p "$XDG_RUNTIME_DIR" "$OUT/user"
cp -an /usr/lib/systemd/system/. "$R/usr/lib/systemd/system/"
verified=$(MANPATH=$R/usr/share/man systemd-analyze verify --root="$R" painel-quiosque.service 2>&1) ||
  verified="$verified (exit status $?)"
[ -z "$verified" ] || fail "systemd-analyze verify painel-quiosque.service: $verified"
# (a user unit cannot be verified in another root: its copy names the programs where they are)
sed "s#/opt/painel#$R/opt/painel#g" "$R/usr/lib/systemd/user/painel.service" >"$OUT/user/painel.service"
verified=$(systemd-analyze verify --user "$OUT/user/painel.service" 2>&1) || verified="$verified (exit status $?)"
[ -z "$verified" ] || fail "systemd-analyze verify --user painel.service: $verified"
exposure() { systemd-analyze security --offline=true "$1" 2>/dev/null | sed -n 's/.*Overall exposure level for .*: \([0-9.]*\).*/\1/p'; }
for unit_limit in "usr/lib/systemd/system/painel-quiosque.service 2.0" "usr/lib/systemd/user/painel.service 6.5"; do
  read -r unit limit <<<"$unit_limit"
  level=$(exposure "$R/$unit")
  awk -v l="$level" -v m="$limit" 'BEGIN { exit !(l != "" && l <= m) }' || fail "$unit: exposure ${level:-unknown}, more than $limit"
done
# The kiosk's session starter and command are sound shell.
sh -n "$R/opt/painel/sessao-quiosque" || fail "sessao-quiosque is not valid shell"
bash -n "$R/opt/painel/painel-quiosque" || fail "painel-quiosque is not valid bash"

# The sample configuration: a port line by the integer rule, a database path, the sound on.
port=$(head -n1 "$R/etc/painel/configserver.txt" | tr -d '\r')
[[ $port =~ ^[0-9]+$ ]] || fail "configserver.txt: first line '$port' is not a port"
[ "$(sed -n 3p "$R/etc/painel/configserver.txt" | tr -d '\r')" != N ] || fail "configserver.txt: the sample has no sound"
grep -Eq '^fatura=.+' "$R/etc/painel/config.ini" || fail "config.ini: no [sgbd] fatura"
for exe in painel chamar codificar falar; do
  f=$R/opt/painel/$exe
  if readelf -d "$f" | grep -E 'RPATH|RUNPATH' | grep -q "$BUILD"; then fail "$exe looks for libraries in $BUILD"; fi
  file "$f" | grep -q ', stripped' || fail "$exe is not stripped"
  if readelf -S "$f" | grep -q ' \.comment '; then fail "$exe keeps the .comment section"; fi
done
# The tools run from the installed place, with the system's libraries only.
for exe in chamar codificar falar; do
  env -u LD_LIBRARY_PATH "$R/opt/painel/$exe" --help >/dev/null 2>&1 || fail "$exe --help does not run"
done

# The chime: a PCM WAV file that the media system plays, of a second or two.
wav=$R/etc/painel/NOTIFY.WAV
[ "$(head -c 4 "$wav")" = RIFF ] && [ "$(dd if="$wav" bs=1 skip=8 count=8 2>/dev/null)" = 'WAVEfmt ' ] ||
  fail "NOTIFY.WAV is not a WAV file"
if command -v soxi >/dev/null; then
  seconds=$(soxi -D "$wav")
  awk -v s="$seconds" 'BEGIN { exit !(s >= 0.8 && s <= 2.5) }' || fail "NOTIFY.WAV lasts $seconds s"
fi
cmp -s "$wav" "$BUILD/package-files/NOTIFY.WAV" || fail "NOTIFY.WAV is not the chime made by the build"

# Compressed as Debian wants: gzip -9 without a name or a time stamp.
gzip_plain() { # flags byte (no FNAME) and modification time 0
  [ "$(od -An -tx1 -j3 -N5 "$1" | tr -d ' \n')" = 0000000000 ]
}
for gz in "$R"/usr/share/man/man1/*.gz "$R"/usr/share/man/pt_BR/man1/*.gz "$R/usr/share/doc/painel/changelog.gz"; do
  gzip -t "$gz" 2>/dev/null || fail "$gz is not gzip"
  gzip_plain "$gz" || fail "$(basename "$gz") carries a file name or a time stamp"
done

# Manual pages that man reads without a warning, each with its sections, in its language.
for page in "$R"/usr/share/man/man1/*.1.gz "$R"/usr/share/man/pt_BR/man1/*.1.gz; do
  name=$(basename "$page" .1.gz)
  warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null || echo "man failed")
  [ -z "$warnings" ] || fail "man page $name: $warnings"
  text=$(LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$page" 2>/dev/null | col -b)
  sections=(NAME SYNOPSIS DESCRIPTION "SEE ALSO")
  [[ $page == */pt_BR/* ]] && sections=(NOME SINOPSE DESCRIÇÃO "VEJA TAMBÉM")
  for section in "${sections[@]}"; do
    grep -qx "$section" <<<"$text" || fail "man page $page has no $section"
  done
  grep -Eq "^ +$name +- " <<<"$text" || fail "man page $name: NAME does not name it"
  grep -q '@PROJECT_VERSION@' <<<"$text" && fail "man page $name: the version is not filled in"
done

# A machine-readable copyright file with the licence's text; the changelog of this version.
copyright=$R/usr/share/doc/painel/copyright
grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' "$copyright" ||
  fail "copyright: not in the machine-readable format"
grep -qx 'License: Expat' "$copyright" && grep -q 'Permission is hereby granted, free of charge' "$copyright" ||
  fail "copyright: no Expat licence text"
changed=$(dpkg-parsechangelog -l "$R/usr/share/doc/painel/changelog.gz" -S Version 2>/dev/null || true)
[ "$changed" = "$version" ] || fail "changelog: latest entry is '$changed', the package is $version"

# --- lintian: nothing but the files in /opt, which its override names with the reason ------
grep -q '^painel: dir-or-file-in-opt' "$R/usr/share/lintian/overrides/painel" || fail "lintian override: no dir-or-file-in-opt"
grep -q '^#.*executable' "$R/usr/share/lintian/overrides/painel" || fail "lintian override: no reason given"
if command -v lintian >/dev/null; then
  verdict=$(lintian --fail-on error,warning "$deb" 2>&1 | grep -v 'running with root privileges' || true)
  tags=$(grep -E '^[EWX]: ' <<<"$verdict" || true)
  [ -z "$tags" ] || fail "lintian: $tags"
  # Without the override, the files in /opt are all it reports.
  others=$(lintian --no-override "$deb" 2>&1 | grep -E '^[EWX]: ' | grep -v ' dir-or-file-in-opt ' || true)
  [ -z "$others" ] || fail "lintian without the override: $others"
else
  fail "lintian is not installed (tools/deps.sh installs it)"
fi

finish "package $(basename "$deb")"
