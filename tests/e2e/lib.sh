# Shared by scripts/demo and tests/e2e/run (sourced, not run): builds the
# program with its manifest address on a private mirror, starts that mirror
# (tests/e2e/mirror) and runs the program and the UI driver under Wine.
#
# The manifest address is fixed when the program is built, so each build
# folder (build/NAME-ARCH) has its own loopback port, kept in its CMake cache
# (ZEL_MANIFEST_URL) from one run to the next: a run reuses it while it is
# free, and otherwise moves the folder to a port that is free now, which
# rebuilds the few files that carry the address. The mirror is started
# before the build, so the port is held from the moment it is chosen.
#
# Set E2E_PRIVATE_DISPLAY when the display is a private Xvfb.
# Set E2E_SECURE=1 for the build a careful distributor makes: an https
# manifest address on https://localhost:PORT with ZEL_REQUIRE_HTTPS=ON, the
# mirror speaking TLS with a certificate of the tests' own authority
# (tests/support/test-pki, kept in the build folder's pki/), which the build
# folder's Wine prefix, and nothing else, trusts. E2E_CMAKE_ARGS adds
# settings of the build (words).
# The secure build also names a publisher (ZEL_PUBLISHER, e2e_publisher):
# the demo package on its mirror is signed by a code-signing certificate of
# the tests' authority in that name (tests/support/sign-file).
# After e2e_prepare: E2E_BUILD, E2E_PORT, E2E_BASE (the mirror's address),
# E2E_PROGRAM, E2E_DRIVER, E2E_PACKAGE (the package the mirror serves: with
# E2E_SECURE the signed copy), E2E_UNSIGNED_PACKAGE (the package as built),
# E2E_PREFIX, E2E_INSTALL_FOLDER, E2E_MIRROR, E2E_ACCESS_LOG, E2E_ERROR_LOG,
# and with E2E_SECURE E2E_PKI and E2E_PUBLISHER.

e2e_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
e2e_wine_lib=/usr/lib/wine

e2e_arch() {
    "$e2e_root/scripts/windows-arch"
}

# The port in the build folder's manifest address, if it is one of ours.
e2e_configured_port() {
    local cache=$1/CMakeCache.txt
    [ -f "$cache" ] || return 0
    sed -n -e 's#^ZEL_MANIFEST_URL:STRING=http://127\.0\.0\.1:\([0-9][0-9]*\)/zelv3\.xml$#\1#p' \
        -e 's#^ZEL_MANIFEST_URL:STRING=https://localhost:\([0-9][0-9]*\)/zelv3\.xml$#\1#p' "$cache"
}

e2e_port_is_free() {
    ! ss -Hltn "sport = :$1" 2>/dev/null | grep -q .
}

# Ports to try: the folder's own, one derived from its path, then others.
e2e_candidate_ports() {
    local build=$1 configured
    configured=$(e2e_configured_port "$build")
    [ -z "$configured" ] || echo "$configured"
    echo $((20000 + $(cksum <<<"$build" | cut -d' ' -f1) % 20000))
    for _ in $(seq 20); do echo $((20000 + RANDOM % 40000)); done
}

# Starts the mirror on the first candidate port that is free and that nginx
# can bind.
e2e_start_mirror_on_free_port() {
    local build=$1 port
    for port in $(e2e_candidate_ports "$build"); do
        e2e_port_is_free "$port" || continue
        if "$e2e_root/tests/e2e/mirror" start "$E2E_MIRROR" "$port" $(e2e_mirror_certificate); then
            E2E_PORT=$port
            return 0
        fi
    done
    echo "e2e: the mirror did not start on any port; see $E2E_MIRROR/logs/error.log" >&2
    return 1
}

e2e_toolchain() {
    case "$1" in
        i686) echo "$e2e_root/cmake/toolchain-mingw-i686.cmake" ;;
        x86_64) echo "$e2e_root/cmake/toolchain-mingw-x86_64.cmake" ;;
    esac
}

# The certificate and key the mirror speaks TLS with ("CERT KEY"), or
# nothing for plain HTTP.
e2e_mirror_certificate() {
    [ -n "${E2E_SECURE:-}" ] || return 0
    echo "$E2E_PKI/localhost-chain.pem $E2E_PKI/localhost.key"
}

# The tests' authority and the mirror's certificate for localhost, made
# once per build folder (the prefix keeps trusting the same authority).
e2e_make_pki() {
    [ -n "${E2E_SECURE:-}" ] || return 0
    E2E_PKI=$E2E_BUILD/pki
    "$e2e_root/tests/support/test-pki" server "$E2E_PKI" localhost localhost &&
        chmod 755 "$E2E_PKI"
}

# The mirror's address as the program and the manifest name it.
e2e_base() {
    if [ -n "${E2E_SECURE:-}" ]; then echo "https://localhost:$E2E_PORT"; else echo "http://127.0.0.1:$E2E_PORT"; fi
}

# The signer the secure build's program insists on.
e2e_publisher="ZelDownloader Test Publisher"

# The build's publisher setting: empty (no check) but for the secure build.
e2e_publisher_setting() {
    [ -z "${E2E_SECURE:-}" ] || echo "$e2e_publisher"
}

# The package as the publisher signs it: E2E_PACKAGE becomes the signed copy.
e2e_sign_package() {
    [ -n "${E2E_PUBLISHER:-}" ] || return 0
    E2E_PACKAGE=$E2E_BUILD/signed/$(basename "$E2E_UNSIGNED_PACKAGE")
    mkdir -p "$(dirname "$E2E_PACKAGE")"
    # A signature carries its signing time, so every signing makes other
    # bytes: the package signed by an earlier run is kept while neither it
    # nor the signer's certificate has changed since, so that a second run
    # finds the package it downloaded before still the manifest's.
    if [ -s "$E2E_PACKAGE" ] && [ "$E2E_PACKAGE" -nt "$E2E_UNSIGNED_PACKAGE" ] &&
        [ -s "$E2E_PKI/publisher.pem" ] && [ "$E2E_PACKAGE" -nt "$E2E_PKI/publisher.pem" ]; then
        return 0
    fi
    "$e2e_root/tests/support/sign-file" "$E2E_PKI" publisher "$E2E_PUBLISHER" \
        "$E2E_UNSIGNED_PACKAGE" "$E2E_PACKAGE"
}

# e2e_prepare NAME FILLER_KIB LOG: the mirror, then the build of the
# program, the driver and the demo package, then the package on the mirror.
e2e_prepare() {
    local name=$1 filler_kib=$2 log=$3 arch require_https=OFF
    arch=$(e2e_arch) || return 1
    [ -z "${E2E_SECURE:-}" ] || require_https=ON
    E2E_PUBLISHER=$(e2e_publisher_setting)
    E2E_BUILD=$e2e_root/build/$name-$arch
    mkdir -p "$E2E_BUILD"
    e2e_make_pki || { echo "e2e: could not make the test certificates" >&2; return 1; }
    # Nginx's workers may run as another user and must read the mirror's
    # files: they live in a world-readable folder of their own.
    E2E_MIRROR=$(mktemp -d "${TMPDIR:-/tmp}/zel-mirror.XXXXXX")
    E2E_ACCESS_LOG=$E2E_MIRROR/logs/access.log
    E2E_ERROR_LOG=$E2E_MIRROR/logs/error.log
    e2e_start_mirror_on_free_port "$E2E_BUILD" || return 1
    E2E_BASE=$(e2e_base)
    echo "e2e: mirror on 127.0.0.1:$E2E_PORT ($E2E_BASE), building $E2E_BUILD ($arch)"
    {
        # shellcheck disable=SC2086 # E2E_CMAKE_ARGS is a list of words
        cmake -S "$e2e_root" -B "$E2E_BUILD" -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel \
            -DCMAKE_TOOLCHAIN_FILE="$(e2e_toolchain "$arch")" \
            -DZEL_MANIFEST_URL="$E2E_BASE/zelv3.xml" -DZEL_REQUIRE_HTTPS=$require_https \
            -DZEL_PUBLISHER="$E2E_PUBLISHER" ${E2E_CMAKE_ARGS:-} \
            -DZEL_DEMO_FILLER_KIB="$filler_kib" &&
            cmake --build "$E2E_BUILD" -j "$(nproc)" --target ZelDownloader ui_driver Corvanta3Setup \
                planted_library
    } >"$log" 2>&1 || { tail -n 40 "$log"; echo "e2e: build failed (log: $log)" >&2; return 1; }
    E2E_PROGRAM=$E2E_BUILD/ZelDownloader.exe
    E2E_DRIVER=$E2E_BUILD/tests/e2e/ui_driver.exe
    E2E_UNSIGNED_PACKAGE=$E2E_BUILD/tests/e2e/Corvanta3Setup.exe
    E2E_PACKAGE=$E2E_UNSIGNED_PACKAGE
    e2e_sign_package || { echo "e2e: could not sign the package" >&2; return 1; }
    E2E_PREFIX=$E2E_BUILD/wineprefix
    E2E_INSTALL_FOLDER=$E2E_PREFIX/drive_c/users/$(id -un)/AppData/Roaming/Quorvane/ZEL3/Installer
    # The first Wine program of a build folder makes its prefix (seconds).
    e2e_drive wait-gone 0 >/dev/null || { echo "e2e: Wine does not run the driver" >&2; return 1; }
    if [ -n "${E2E_SECURE:-}" ]; then
        e2e_drive trust-root-certificate "$E2E_PKI/ca.der" >/dev/null ||
            { echo "e2e: the prefix does not take the tests' authority" >&2; return 1; }
    fi
    e2e_window_manager_setting "$arch"
    e2e_windows_fonts
    e2e_publish
}

# Windows has Tahoma (the dialog's font) and Marlett (the caption buttons'
# glyphs); Wine ships look-alikes but a fresh prefix does not find them.
e2e_windows_fonts() {
    local font fonts=$E2E_PREFIX/drive_c/windows/Fonts
    mkdir -p "$fonts"
    for font in tahoma.ttf tahomabd.ttf marlett.ttf; do
        [ -f "$fonts/$font" ] || [ ! -f "/usr/share/wine/fonts/$font" ] ||
            cp "/usr/share/wine/fonts/$font" "$fonts/"
    done
}

# Wine waits up to 2 s for a window manager each time it hides a window that
# one manages; a private Xvfb display has none, so there Wine manages the
# windows itself. On a user's display the window manager does.
e2e_window_manager_setting() {  # ARCH
    local loader=$e2e_wine_lib/wine key='HKCU\Software\Wine\X11 Driver'
    [ "$1" = x86_64 ] && loader=$e2e_wine_lib/wine64
    if [ -n "${E2E_PRIVATE_DISPLAY:-}" ]; then
        WINEPREFIX=$E2E_PREFIX WINELOADER=$loader WINEDEBUG=-all \
            "$loader" reg add "$key" /v Managed /d N /f >/dev/null 2>&1
    else
        WINEPREFIX=$E2E_PREFIX WINELOADER=$loader WINEDEBUG=-all \
            "$loader" reg delete "$key" /v Managed /f >/dev/null 2>&1 || true
    fi
}

# The demo package on the mirror, with its real digest or the one given.
e2e_publish() {
    "$e2e_root/tests/e2e/mirror" publish "$E2E_MIRROR" "$E2E_BASE" "$E2E_PACKAGE" "${1:-}"
}

e2e_stop_mirror() {
    [ -z "${E2E_MIRROR:-}" ] || "$e2e_root/tests/e2e/mirror" stop "$E2E_MIRROR"
}

e2e_start_mirror_again() {
    "$e2e_root/tests/e2e/mirror" start "$E2E_MIRROR" "$E2E_PORT" $(e2e_mirror_certificate)
}

e2e_remove_mirror() {
    e2e_stop_mirror
    [ -z "${E2E_MIRROR:-}" ] || rm -rf "$E2E_MIRROR"
}

# Wine's processes of the build's prefix end; the prefix stays.
e2e_end_wine() {
    [ -d "${E2E_PREFIX:-}" ] || return 0
    WINEPREFIX=$E2E_PREFIX "$e2e_wine_lib/wineserver" -k 2>/dev/null || true
    WINEPREFIX=$E2E_PREFIX "$e2e_wine_lib/wineserver" -w 2>/dev/null || true
}

# The UI driver's steps (see ui_driver help); its report goes to stdout.
e2e_drive() {
    "$e2e_root/cmake/wine-run" "$E2E_DRIVER" "$@"
}

# Starts the program in the background; E2E_PROGRAM_PID is its process.
e2e_start_program() {
    "$e2e_root/cmake/wine-run" "$E2E_PROGRAM" >>"${E2E_WINE_LOG:-/dev/null}" 2>&1 &
    E2E_PROGRAM_PID=$!
}

# e2e_await_exit PID SECONDS: E2E_EXIT_CODE is the process's exit code;
# fails when it is still running after SECONDS.
e2e_await_exit() {
    local pid=$1 deadline=$((SECONDS + $2))
    while kill -0 "$pid" 2>/dev/null; do
        [ "$SECONDS" -lt "$deadline" ] || return 1
        sleep 0.1
    done
    wait "$pid"
    E2E_EXIT_CODE=$?
    return 0
}

e2e_await_file() {
    local path=$1 deadline=$((SECONDS + $2))
    until [ -f "$path" ]; do
        [ "$SECONDS" -lt "$deadline" ] || return 1
        sleep 0.1
    done
}

# The access log's lines of the requests that began at or after TIME (as
# e2e_now gives it): a request is logged when it ends, so a request that a
# pause cut short may be logged after later ones began.
e2e_log_since() {  # TIME
    [ -f "$E2E_ACCESS_LOG" ] || return 0
    awk -v since="$1" '$1 - $7 >= since' "$E2E_ACCESS_LOG"
}

e2e_now() {
    date +%s.%N
}
