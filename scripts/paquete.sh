#!/usr/bin/env bash
# Package test: builds the Debian package with CPack, checks its dependency
# list and its files, runs lintian on it (no error allowed), installs it with apt on a fresh minimal Debian 12 (made
# with debootstrap once and cached in build/paquete/), and there runs the
# installed programs: --version and --help, the exit statuses the service
# relies on, the robot exactly as its service unit starts it on a demo shop
# with both simulators until every pending document is printed, the window
# mode offscreen, and the desktop session launcher. Then it adds systemd to
# that Debian, boots it in a container, and runs the real service there on a
# demo shop: the journal, a restart after a message that ends the robot, stop.
#   bash scripts/paquete.sh
# Runs as root (debootstrap, chroot, a private mount and process namespace so
# nothing mounted or started inside outlives the run).
set -euo pipefail

# ---------------------------------------------------------------------------
# Inside the private namespace (started below by the same script).
# ---------------------------------------------------------------------------
if [ "${1:-}" = --dentro ]; then
    raiz=$2 deb=$3 archivos=$4
    falla() { echo "FALLA: $*" >&2; exit 1; }
    # The first process of a namespace ignores signals it has no handler for:
    # without this a stopped run would leave everything inside running.
    trap 'exit 1' TERM INT HUP
    en() { chroot "$raiz" "$@"; }

    mount -t proc proc "$raiz/proc"
    # Pseudo-terminals of our own: the printer simulator opens one.
    mount -t devpts -o newinstance,ptmxmode=0666,mode=0620,gid=5 devpts "$raiz/dev/pts"
    mount --bind "$raiz/dev/pts/ptmx" "$raiz/dev/ptmx"
    # Downloaded packages are kept between runs.
    mount --bind "$archivos" "$raiz/var/cache/apt/archives"

    echo "== apt-get install ./$(basename "$deb") on a fresh Debian 12"
    t=$SECONDS
    en apt-get update -q >"$raiz/tmp/apt.log" 2>&1 || { cat "$raiz/tmp/apt.log"; falla "apt-get update"; }
    cp "$deb" "$raiz/tmp/"
    en sh -c "cd /tmp && DEBIAN_FRONTEND=noninteractive apt-get install -y -q \
        --no-install-recommends ./$(basename "$deb")" >"$raiz/tmp/apt.log" 2>&1 ||
        { cat "$raiz/tmp/apt.log"; falla "apt-get install"; }
    echo "   $(grep -c '^Setting up' "$raiz/tmp/apt.log") packages set up in $((SECONDS - t)) s"

    echo "== rovend --version, --help"
    version=$(en rovend --version)
    [ "$version" = "Rovend $ROVEND_VERSION" ] || falla "rovend --version printed '$version'"
    ayuda=$(en rovend --help)
    for o in --carpeta --sin-ventana --help --version; do
        grep -q -- "$o" <<<"$ayuda" || falla "rovend --help lacks $o"
    done
    en test -s /usr/share/man/man1/rovend.1.gz || falla "no man page"
    en id -nG rovend | grep -qw dialout || falla "the user rovend is not in dialout"
    echo "   $version"

    # The service as systemd runs it: the unit's user, group and supplementary
    # groups, its ExecStart with %f, a clean environment, no display.
    unidad="$raiz/usr/lib/systemd/system/rovend@.service"
    valor() { sed -n "s/^$1=//p" "$unidad" | tail -n1; }
    usuario=$(valor User) grupo=$(valor Group) extra=$(valor SupplementaryGroups)
    ejecutar=$(valor ExecStart)
    [ -n "$usuario" ] || falla "the unit has no User="
    [ -n "$ejecutar" ] || falla "the unit has no ExecStart="
    servicio() { # servicio FOLDER: argv of the unit's ExecStart for that instance
        python3 -c 'import shlex, sys; print("\0".join(shlex.split(sys.argv[1].replace("%f", sys.argv[2]))), end="")' \
            "$ejecutar" "$1"
    }
    # Prefixes that run a command in the chroot as the service's user, with
    # the unit's groups and a clean environment, or as from a login. Arrays,
    # not functions: a command started with & is then the program itself, so
    # $! is its pid and a signal reaches it.
    comoServicio=(chroot "$raiz" setpriv --reuid="$usuario" --regid="$grupo" --groups="${extra:-$grupo}"
        env -i PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin
        HOME=/var/lib/rovend LANG=C.UTF-8)
    comoUsuario=(chroot "$raiz" setpriv --reuid="$usuario" --regid="$grupo" --init-groups
        env -i PATH=/usr/local/bin:/usr/bin:/bin HOME=/var/lib/rovend LANG=C.UTF-8)
    vivo() { # a process that has not ended (a zombie has)
        [ -e "/proc/$1" ] && [ "$(sed -n 's/^State:[[:space:]]*\(.\).*/\1/p' "/proc/$1/status")" != Z ]
    }
    terminar() { # terminar PID SECONDS: SIGTERM, then its exit status; 124 if it hung (then SIGKILL)
        kill -TERM "$1"
        if esperar "$2" muerto "$1"; then
            wait "$1" && return 0 || return $?
        fi
        kill -KILL "$1"
        { wait "$1"; } 2>/dev/null || true
        return 124
    }
    muerto() { ! vivo "$1"; }
    esperar() { # esperar SECONDS CONDITION...: polls the condition, bounded
        local limite=$((SECONDS + $1))
        shift
        until "$@"; do
            [ $SECONDS -lt $limite ] || return 1
            sleep 0.2
        done
    }

    echo "== exit statuses the service relies on"
    "${comoUsuario[@]}" mkdir -p /var/lib/rovend/vacia
    mapfile -d '' -t argv < <(servicio /var/lib/rovend/vacia)
    set +e
    salida=$("${comoServicio[@]}" "${argv[@]}" 2>&1)
    rc=$?
    set -e
    [ $rc -eq 1 ] || falla "an empty program folder ended with $rc, not 1: $salida"
    grep -q "Vendrix.inf" <<<"$salida" || falla "no message naming Vendrix.inf: $salida"
    echo "   empty folder: status 1 after: $(head -n1 <<<"$salida")"

    echo "== the service on a demo shop, with the printer and server simulators"
    t=$SECONDS
    d=/var/lib/rovend/demo
    caja=/var/lib/rovend/caja1
    "${comoUsuario[@]}" mkdir -p $d
    "${comoUsuario[@]}" sh -c "simservidor --puerto 0 --registro $d/servidor.log >$d/servidor.out 2>&1 &"
    "${comoUsuario[@]}" sh -c "simfiscal --enlace $d/impresora --rollo $d/rollo.txt --diario $d/diario.jsonl \
        --estado-archivo $d/impresora.json >$d/impresora.out 2>$d/impresora.err &"
    esperar 10 test -s "$raiz$d/servidor.out" || falla "the server simulator did not start"
    esperar 10 test -s "$raiz$d/impresora.out" || falla "the printer simulator did not start"
    puerto=$(head -n1 "$raiz$d/servidor.out")
    "${comoUsuario[@]}" tiendademo $caja --puerto $d/impresora --caja 1 --servidor-puerto "$puerto" >/dev/null ||
        falla "tiendademo could not make the shop with the installed schemas"

    base="$raiz$caja/Datos/Base de Datos.dba"
    pendientes() {
        sqlite3 -readonly -cmd '.timeout 5000' "$base" \
            "SELECT (SELECT count(*) FROM [Consulta Ventas] WHERE Anulada = 0 AND Imprimir <> 0
                     AND Control IS NULL AND Local = 0 AND Impresa = 0 AND MáquinaFiscal = 1),
                    (SELECT count(*) FROM [Consulta NotaCréditoVenta] WHERE Anulada = 0
                     AND Imprimir <> 0 AND Control IS NULL AND Impresa = 0 AND MáquinaFiscal = 1)"
    }
    IFS='|' read -r facturas notas <<<"$(pendientes)"
    [ "$facturas" -gt 0 ] || falla "the demo shop has no pending invoice"
    [ "$notas" -gt 0 ] || falla "the demo shop has no pending credit note"
    echo "   pending: $facturas invoices, $notas credit notes"

    mapfile -d '' -t argv < <(servicio $caja)
    echo "   ExecStart as $usuario:$grupo (+$extra): ${argv[*]}"
    "${comoServicio[@]}" "${argv[@]}" >"$raiz/tmp/diario-servicio.txt" 2>&1 &
    robot=$!
    nada() { [ "$(pendientes)" = "0|0" ] || ! vivo "$robot"; }
    esperar 300 nada || falla "documents still pending after 300 s: $(pendientes)"
    vivo "$robot" || { tail -n 30 "$raiz/tmp/diario-servicio.txt"; falla "the robot ended by itself"; }

    set +e
    "${comoServicio[@]}" "${argv[@]}" >/dev/null 2>&1
    rc=$?
    set -e
    [ $rc -eq 3 ] || falla "a second copy on the same folder ended with $rc, not 3"

    set +e
    terminar "$robot" 60 # what systemctl stop does
    rc=$?
    set -e
    [ $rc -eq 0 ] || { tail -n 30 "$raiz/tmp/diario-servicio.txt"; falla "SIGTERM ended the robot with $rc, not 0"; }

    # What the journal would hold: the robot's console lines.
    diario="$raiz/tmp/diario-servicio.txt"
    [ "$(grep -c '^factura [0-9]* impresa con el número' "$diario")" -eq "$facturas" ] ||
        falla "the console does not report $facturas printed invoices"
    [ "$(grep -c '^nota de crédito [0-9]* impresa con el número' "$diario")" -eq "$notas" ] ||
        falla "the console does not report $notas printed credit notes"
    # And the printer's own journal: one line per document it closed.
    [ "$(grep -c '"tipo":"factura"' "$raiz$d/diario.jsonl")" -eq "$facturas" ] ||
        falla "the printer's journal does not hold $facturas invoices"
    [ "$(grep -c '"tipo":"nota_credito"' "$raiz$d/diario.jsonl")" -eq "$notas" ] ||
        falla "the printer's journal does not hold $notas credit notes"
    en test -s $caja/rovend.log || falla "no support log"
    echo "   all printed in $((SECONDS - t)) s; second copy: status 3; SIGTERM: status 0"

    echo "== the window mode, offscreen (the Widgets and platform plugin packages)"
    "${comoUsuario[@]}" env QT_QPA_PLATFORM=offscreen rovend --carpeta $caja >"$raiz/tmp/ventana.txt" 2>&1 &
    robot=$!
    tam=$(stat -c %s "$raiz$caja/rovend.log")
    marcha() { tail -c +$((tam + 1)) "$raiz$caja/rovend.log" | grep -q 'robot en marcha' || ! vivo "$robot"; }
    esperar 30 marcha || falla "the robot with a window did not start in 30 s"
    vivo "$robot" || { tail -n 30 "$raiz/tmp/ventana.txt"; falla "the robot with a window ended by itself"; }
    set +e
    terminar "$robot" 20
    rc=$?
    set -e
    case $rc in
    0) echo "   started with its window and closed with status 0" ;;
    124) # The program's own shutdown, not the package: say it, do not fail on it.
        echo "   started with its window; AVISO: still running 20 s after SIGTERM, ended with SIGKILL" ;;
    *) tail -n 30 "$raiz/tmp/ventana.txt"; falla "the window mode ended with $rc" ;;
    esac

    echo "== the desktop session launcher"
    for e in /etc/xdg/autostart/rovend.desktop /usr/share/applications/rovend.desktop; do
        programa=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$raiz$e")
        en sh -c "command -v $programa" >/dev/null || falla "$e runs $programa, not installed"
    done
    salida=$("${comoUsuario[@]}" env HOME=/var/lib/rovend/sin-carpeta rovend-sesion --autoarranque --version)
    [ -z "$salida" ] || falla "autostart without a program folder started the robot"
    "${comoUsuario[@]}" mkdir -p /var/lib/rovend/.local/share/rovend
    salida=$("${comoUsuario[@]}" rovend-sesion --autoarranque --version)
    [ "$salida" = "Rovend $ROVEND_VERSION" ] || falla "autostart with a program folder did not start the robot"
    echo "   skips a user without a program folder, starts the robot for one with it"
    exit 0
fi

# ---------------------------------------------------------------------------
# On the machine.
# ---------------------------------------------------------------------------
cd "$(dirname "$0")/.."
raiz_repo=$(pwd)
[ "$(id -u)" -eq 0 ] || { echo "scripts/paquete.sh runs as root (debootstrap, chroot)" >&2; exit 1; }
falla() { echo "FALLA: $*" >&2; exit 1; }
inicio=$SECONDS

bash scripts/dependencias.sh
faltan=()
for p in debootstrap desktop-file-utils systemd-container lintian; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || faltan+=("$p")
done
if [ ${#faltan[@]} -gt 0 ]; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${faltan[@]}" >/dev/null ||
        { apt-get update -q >/dev/null && DEBIAN_FRONTEND=noninteractive \
            apt-get install -y -q --no-install-recommends "${faltan[@]}" >/dev/null; }
fi

echo "== build and package"
t=$SECONDS
paquete="$raiz_repo/build/paquete"
mkdir -p "$paquete"
{ cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo &&
    cmake --build build -j2 --target rovend simfiscal simservidor tiendademo pruebaenlace rovend_man; } \
    >"$paquete/compilacion.log" 2>&1 || { tail -30 "$paquete/compilacion.log"; falla "build"; }
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/CMakeCache.txt)
rm -f "$paquete"/rovend_*.deb
(cd build && cpack -G DEB -B "$paquete" >"$paquete/cpack.log") || { cat "$paquete/cpack.log"; falla cpack; }
deb="$paquete/rovend_${version}_amd64.deb"
[ -f "$deb" ] || falla "no $deb: $(ls "$paquete")"
echo "   $(basename "$deb"), $(($(stat -c %s "$deb") / 1024)) KiB, in $((SECONDS - t)) s"

echo "== dependencies"
depende=$(dpkg-deb -f "$deb" Depends)
echo "   $depende"
nombres=$(tr ',' '\n' <<<"$depende" | sed 's/(.*//; s/ //g' | sort -u)
# The robot's Qt modules (HTTP server for the status page), the SQLite and PostgreSQL drivers
# and the platform plugins it loads at run time, the user the service runs as; nothing for
# building.
for p in libqt6core6 libqt6gui6 libqt6widgets6 libqt6network6 libqt6sql6 libqt6sql6-sqlite libqt6sql6-psql \
    libqt6serialport6 libqt6httpserver6 qt6-qpa-plugins adduser libc6 libstdc++6; do
    grep -qx "$p" <<<"$nombres" || falla "Depends lacks $p"
done
while read -r p; do
    case $p in
    libqt6core6 | libqt6gui6 | libqt6widgets6 | libqt6network6 | libqt6sql6 | libqt6sql6-sqlite | \
        libqt6serialport6 | libqt6httpserver6 | qt6-qpa-plugins | adduser | libc6 | libstdc++6 | libgcc-s1) ;;
    libqt6sql6-psql) ;; # the shop database on a server, when the robot uses one
    *) falla "unexpected dependency $p" ;;
    esac
done <<<"$nombres"

echo "== files"
archivos=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sed 's|^\./|/|' | sort)
esperados="/etc/xdg/autostart/rovend.desktop
/usr/bin/pruebaenlace
/usr/bin/rovend
/usr/bin/rovend-sesion
/usr/bin/simfiscal
/usr/bin/simservidor
/usr/bin/tiendademo
/usr/lib/systemd/system/rovend@.service
/usr/share/applications/rovend.desktop
/usr/share/doc/rovend/README.md
/usr/share/doc/rovend/changelog.gz
/usr/share/doc/rovend/copyright
/usr/share/icons/hicolor/scalable/apps/rovend.svg
/usr/share/man/man1/rovend.1.gz
/usr/share/rovend/sql/local.sql
/usr/share/rovend/sql/tienda.sql"
while read -r f; do
    grep -qx "$f" <<<"$archivos" || falla "the package lacks $f"
done <<<"$esperados"
# Anything else must be another schema: no headers, libraries, tests or build files.
while read -r f; do
    grep -qx "$f" <<<"$esperados" || [[ $f == /usr/share/rovend/sql/*.sql ]] || falla "unexpected file $f"
done <<<"$archivos"
[ "$(dpkg-deb --ctrl-tarfile "$deb" | tar -xO ./conffiles)" = /etc/xdg/autostart/rovend.desktop ] ||
    falla "conffiles should list the autostart entry"
extraido=$(mktemp -d)
trap 'rm -rf "$extraido"' EXIT
dpkg-deb -x "$deb" "$extraido"
for b in "$extraido"/usr/bin/*; do
    [ "$(head -c4 "$b")" = $'\x7fELF' ] || continue
    ! readelf -d "$b" | grep -qE 'RPATH|RUNPATH' || falla "$b keeps a library path of the build"
    ! readelf -S "$b" | grep -q '\.debug_info' || falla "$b is not stripped"
done
desktop-file-validate "$extraido/usr/share/applications/rovend.desktop" \
    "$extraido/etc/xdg/autostart/rovend.desktop" || falla "desktop entries"
echo "   $(wc -l <<<"$archivos") files, as expected; binaries stripped, no build paths"

echo "== lintian"
mantenedor=$(head -n1 packaging/mantenedor)
[ "$(dpkg-deb -f "$deb" Maintainer)" = "$mantenedor" ] || falla "the Maintainer field is not packaging/mantenedor's"
zcat "$extraido/usr/share/doc/rovend/changelog.gz" | head -n1 | grep -q "^rovend ($version) " ||
    falla "the changelog does not begin with version $version"
# Errors fail the package; warnings are shown.
informe=$(lintian --fail-on error --no-tag-display-limit "$deb" 2>&1) || { echo "$informe"; falla "lintian found errors"; }
echo "   no errors; $(grep -c '^W: ' <<<"$informe" || true) warnings${informe:+:}"
grep '^W: ' <<<"$informe" | sed 's/^/     /' || true

echo "== Debian 12 base system"
t=$SECONDS
base="$paquete/debian12"
if [ ! -d "$base" ]; then
    # The same mirror this machine's apt uses.
    # shellcheck disable=SC2016 # apt's own $(FIELD) placeholders
    espejo=${ROVEND_ESPEJO_DEBIAN:-$(apt-get indextargets --format '$(REPO_URI) $(RELEASE)' \
        'Identifier: Packages' | awk '$2 == "bookworm" {print $1; exit}')}
    [ -n "$espejo" ] || falla "no Debian 12 mirror in apt's sources; set ROVEND_ESPEJO_DEBIAN"
    rm -rf --one-file-system "$base.tmp"
    debootstrap --variant=minbase bookworm "$base.tmp" "$espejo" >"$paquete/debootstrap.log" 2>&1 ||
        { tail -20 "$paquete/debootstrap.log"; falla debootstrap; }
    # Updates and security fixes too, as on a till set up from the same sources.
    # shellcheck disable=SC2016
    apt-get indextargets --format '$(REPO_URI) $(RELEASE)' 'Identifier: Packages' |
        awk '$2 ~ /^bookworm(-updates|-security)?$/ {print "deb " $1 " " $2 " main"}' | sort -u \
            >"$base.tmp/etc/apt/sources.list"
    rm -f "$base.tmp"/var/cache/apt/archives/*.deb
    mv "$base.tmp" "$base"
    echo "   made with debootstrap in $((SECONDS - t)) s (cached in $base)"
else
    echo "   cached in $base"
fi

echo "== fresh copy"
raiz="$paquete/raiz"
rm -rf --one-file-system "$raiz"
cp -a "$base" "$raiz"
cp /etc/resolv.conf "$raiz/etc/resolv.conf"
mkdir -p "$paquete/archivos/partial"

t=$SECONDS
# A clean environment: nothing of this session (a display, XDG folders) leaks in.
env -i PATH="$PATH" HOME=/root LANG=C.UTF-8 ROVEND_VERSION="$version" \
    unshare --mount --pid --fork --mount-proc --propagation private --kill-child \
    bash "$raiz_repo/scripts/paquete.sh" --dentro "$raiz" "$deb" "$paquete/archivos"
echo "   in the Debian 12 chroot: $((SECONDS - t)) s"

# ---------------------------------------------------------------------------
# The real service: the same Debian with systemd, booted in a container.
# ---------------------------------------------------------------------------
echo "== systemd: the service unit on a demo shop"
t=$SECONDS
contenedor=(systemd-nspawn -q -D "$raiz" --register=no --keep-unit
    --bind="$paquete/archivos:/var/cache/apt/archives")
"${contenedor[@]}" sh -c 'DEBIAN_FRONTEND=noninteractive apt-get install -y -q \
    --no-install-recommends systemd systemd-sysv' >"$paquete/systemd-apt.log" 2>&1 ||
    { tail -20 "$paquete/systemd-apt.log"; falla "installing systemd"; }
"${contenedor[@]}" --boot --private-network >"$paquete/arranque.log" 2>&1 &
maquina=$!
apagar() {
    if [ -n "${init:-}" ]; then nsenter -t "$init" -a systemctl poweroff >/dev/null 2>&1 || true; fi
    for _ in $(seq 100); do kill -0 "$maquina" 2>/dev/null || break; sleep 0.2; done
    kill -KILL "$maquina" 2>/dev/null || true
    wait "$maquina" 2>/dev/null || true
}
trap 'apagar; rm -rf "$extraido"' EXIT
# The container's systemd is a child of systemd-nspawn (helpers come and go first).
init=
for _ in $(seq 150); do
    for p in $(pgrep -P "$maquina"); do
        [ "$(cat "/proc/$p/comm" 2>/dev/null)" = systemd ] && init=$p
    done
    [ -n "$init" ] || ! kill -0 "$maquina" 2>/dev/null && break
    sleep 0.2
done
dentro() { nsenter -t "$init" -a "$@"; }
arranco() { # booted, with or without failed units of its own
    [ -n "$init" ] || return 1
    dentro timeout 90 systemctl is-system-running --wait >/dev/null 2>&1 ||
        dentro systemctl is-system-running 2>/dev/null | grep -qx degraded
}
if ! arranco; then
    # The machine, not the package: say it and keep the results above.
    echo "   AVISO: systemd did not boot in a container here; see $paquete/arranque.log"
else
    u="rovend@$(dentro systemd-escape --path /var/lib/rovend/servicio).service"
    dentro systemd-analyze verify --man=no "$u" || falla "systemd-analyze verify $u"
    d=/var/lib/rovend/sim
    dentro runuser -u rovend -- mkdir -p $d
    dentro runuser -u rovend -- sh -c "simservidor --puerto 10000 </dev/null >$d/servidor.out 2>&1 &
        simfiscal --sin-ritmo --enlace $d/impresora --diario $d/diario.jsonl </dev/null >$d/impresora.out 2>&1 &"
    for _ in $(seq 50); do [ -s "$raiz$d/servidor.out" ] && [ -s "$raiz$d/impresora.out" ] && break; sleep 0.2; done
    dentro runuser -u rovend -- tiendademo /var/lib/rovend/servicio --puerto $d/impresora >/dev/null ||
        falla "tiendademo in the container"
    base="$raiz/var/lib/rovend/servicio/Datos/Base de Datos.dba"
    pendientes() {
        sqlite3 -readonly -cmd '.timeout 5000' "$base" \
            "SELECT (SELECT count(*) FROM [Consulta Ventas] WHERE Anulada = 0 AND Imprimir <> 0
                     AND Control IS NULL AND Local = 0 AND Impresa = 0 AND MáquinaFiscal = 1)
                  + (SELECT count(*) FROM [Consulta NotaCréditoVenta] WHERE Anulada = 0
                     AND Imprimir <> 0 AND Control IS NULL AND Impresa = 0 AND MáquinaFiscal = 1)"
    }
    documentos=$(pendientes)
    propiedad() { dentro systemctl show -P "$1" "$u"; }
    dentro systemctl start "$u" || falla "systemctl start $u"
    for _ in $(seq 1500); do
        [ "$(pendientes)" = 0 ] && break
        [ "$(propiedad ActiveState)" = active ] || break
        sleep 0.2
    done
    [ "$(pendientes)" = 0 ] || { dentro journalctl -u "$u" -n 30 --no-pager; falla "$u left documents pending"; }
    impresos=$(dentro journalctl -u "$u" -o cat --no-pager | grep -c ' impresa con el número ')
    [ "$impresos" -eq "$documentos" ] || falla "the journal shows $impresos of $documentos documents printed"
    echo "   $u: $documentos documents printed, each one in the journal"

    # A message that ends the robot (status 1) is retried: the maintenance
    # marker goes away, then comes back.
    dentro systemctl stop "$u"
    marca=/var/lib/rovend/servicio/Datos/ActualizadorTalomaTerminal.inf
    mv "$raiz$marca" "$raiz$marca.aparte"
    dentro systemctl start "$u"
    for _ in $(seq 100); do [ "$(propiedad SubState)" = auto-restart ] && break; sleep 0.2; done
    [ "$(propiedad ExecMainStatus)" = 1 ] && [ "$(propiedad SubState)" = auto-restart ] ||
        falla "with the server in maintenance the service is $(propiedad SubState), status $(propiedad ExecMainStatus)"
    dentro journalctl -u "$u" -o cat --no-pager | grep -q 'mantenimiento' || falla "the journal lacks the maintenance message"
    mv "$raiz$marca.aparte" "$raiz$marca"
    for _ in $(seq 150); do [ "$(propiedad NRestarts)" -ge 1 ] && [ "$(propiedad SubState)" = running ] && break; sleep 0.2; done
    [ "$(propiedad SubState)" = running ] || falla "the service did not come back after the maintenance"
    echo "   status 1 in maintenance, restarted $(propiedad NRestarts) time(s) until it ran again"
    dentro systemctl stop "$u"
    [ "$(propiedad Result)" = success ] && [ "$(propiedad ExecMainStatus)" = 0 ] ||
        falla "systemctl stop: $(propiedad Result), status $(propiedad ExecMainStatus)"
    echo "   systemctl stop: status 0, in $((SECONDS - t)) s"
fi
apagar
trap 'rm -rf "$extraido"' EXIT
rm -rf --one-file-system "$raiz"
echo "paquete: every check passed in $((SECONDS - inicio)) s"
