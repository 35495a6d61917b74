#!/usr/bin/env bash
# The Debian package: builds it with cpack from the build folder given, then checks what it
# installs, the configuration it ships and the dependencies it declares.
#
#   package_test.sh BUILD_DIR
set -euo pipefail
BUILD=$(cd "$1" && pwd)
OUT=$(mktemp -d /tmp/painel-package.XXXXXX)
trap 'rm -rf "$OUT"' EXIT

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

if ! cpack --config "$BUILD/CPackConfig.cmake" -G DEB -B "$OUT" >"$OUT/cpack.log" 2>&1; then
  cat "$OUT/cpack.log" >&2
  exit 1
fi
debs=("$OUT"/*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || { echo "FAIL: expected one .deb in $OUT" >&2; exit 1; }
deb=${debs[0]}

# --- contents: path and mode of every file it must hold, and nothing else -----------------
contents=$(dpkg-deb -c "$deb")
while read -r mode path; do
  line=$(awk -v p="./$path" '$6 == p' <<<"$contents")
  if [ -z "$line" ]; then
    fail "missing /$path"
  elif [ "$(awk '{print $1}' <<<"$line")" != "$mode" ]; then
    fail "/$path has mode $(awk '{print $1}' <<<"$line"), expected $mode"
  fi
done <<'EOF_FILES'
-rwxr-xr-x opt/painel/painel
-rwxr-xr-x opt/painel/chamar
-rwxr-xr-x opt/painel/codificar
-rwxr-xr-x opt/painel/falar
-rw-r--r-- opt/painel/config.ini
-rw-r--r-- opt/painel/configserver.txt
-rw-r--r-- etc/xdg/autostart/painel.desktop
-rw-r--r-- usr/lib/systemd/user/painel.service
-rw-r--r-- usr/share/doc/painel/README.md
-rw-r--r-- usr/share/doc/painel/docs/encoding-tool.md
EOF_FILES
stray=$(awk '$1 !~ /^d/ {print $6}' <<<"$contents" |
  grep -Ev '^\./(opt/painel/|etc/xdg/autostart/painel\.desktop$|usr/lib/systemd/user/painel\.service$|usr/share/doc/painel/)' || true)
[ -z "$stray" ] || fail "files outside the panel's places: $stray"
others=$(awk '$1 !~ /^d/ {print $6}' <<<"$contents" | grep '^\./opt/painel/' |
  grep -Ev '^\./opt/painel/(painel|chamar|codificar|falar|config\.ini|configserver\.txt)$' || true)
[ -z "$others" ] || fail "more in /opt/painel than the panel, its tools and its configuration: $others"

# --- control: dependencies, conffiles ------------------------------------------------------
depends=$(dpkg-deb -f "$deb" Depends)
names=$(tr ',' '\n' <<<"$depends" | sed -E 's/^ *//; s/[ (].*$//')
for p in libqt6core6 libqt6gui6 libqt6widgets6 libqt6network6 libqt6multimedia6 libqt6multimediawidgets6 \
         gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-ugly gstreamer1.0-libav \
         libespeak-ng1 espeak-ng-data libfbclient2 fonts-liberation; do
  grep -qx "$p" <<<"$names" || fail "Depends lacks $p: $depends"
done
dups=$(sort <<<"$names" | uniq -d)
[ -z "$dups" ] || fail "Depends names a package twice: $dups"
recommends=$(dpkg-deb -f "$deb" Recommends)
grep -qw 'firebird3.0-server-core' <<<"$recommends" || fail "Recommends lacks firebird3.0-server-core: $recommends"
[ "$(dpkg-deb -f "$deb" Package)" = painel ] || fail "package name: $(dpkg-deb -f "$deb" Package)"

mkdir "$OUT/control" "$OUT/root"
dpkg-deb -e "$deb" "$OUT/control"
for f in /opt/painel/config.ini /opt/painel/configserver.txt /etc/xdg/autostart/painel.desktop; do
  grep -qx "$f" "$OUT/control/conffiles" 2>/dev/null || fail "$f is not a conffile"
done

# --- the files themselves ------------------------------------------------------------------
dpkg-deb -x "$deb" "$OUT/root"
R=$OUT/root
# configserver.txt is read from the working directory: both ways of starting set it.
grep -qx 'Exec=/opt/painel/painel' "$R/etc/xdg/autostart/painel.desktop" || fail "autostart entry: Exec"
grep -qx 'Path=/opt/painel' "$R/etc/xdg/autostart/painel.desktop" || fail "autostart entry: no Path=/opt/painel"
grep -qx 'WorkingDirectory=/opt/painel' "$R/usr/lib/systemd/user/painel.service" || fail "unit: no WorkingDirectory"
grep -qx 'ExecStart=/opt/painel/painel' "$R/usr/lib/systemd/user/painel.service" || fail "unit: ExecStart"
# The sample configuration: a port line by the integer rule, and a database path.
port=$(head -n1 "$R/opt/painel/configserver.txt" | tr -d '\r')
[[ $port =~ ^[0-9]+$ ]] || fail "configserver.txt: first line '$port' is not a port"
grep -Eq '^fatura=.+' "$R/opt/painel/config.ini" || fail "config.ini: no [sgbd] fatura"
for exe in painel chamar codificar falar; do
  f=$R/opt/painel/$exe
  if readelf -d "$f" | grep -E 'RPATH|RUNPATH' | grep -q "$BUILD"; then fail "$exe looks for libraries in $BUILD"; fi
  file "$f" | grep -q ', stripped' || fail "$exe is not stripped"
done
# The tools run from the installed place, with the system's libraries only.
for exe in chamar codificar falar; do
  env -u LD_LIBRARY_PATH "$R/opt/painel/$exe" --help >/dev/null 2>&1 || fail "$exe --help does not run"
done

if [ "$failures" -gt 0 ]; then
  echo "$failures check(s) failed; the package: $(basename "$deb")" >&2
  exit 1
fi
echo "package $(basename "$deb") checked"
