# Sourced by the scripts: installs the Debian packages the build needs when
# any is missing (the first run on a fresh machine; later runs skip apt).
ZORV_PACKAGES="cmake g++ make pkg-config qtbase5-dev qtbase5-dev-tools qttools5-dev qttools5-dev-tools qttranslations5-l10n libqt5sql5-sqlite libtidy-dev xvfb xauth fonts-ipafont-gothic python3 appstream desktop-file-utils systemd"

zorv_install_deps() {
    local missing=""
    local pkg
    for pkg in $ZORV_PACKAGES; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
            missing="$missing $pkg"
        fi
    done
    if [ -n "$missing" ]; then
        echo "== installing:$missing"
        local sudo=""
        [ "$(id -u)" -eq 0 ] || sudo="sudo"
        $sudo apt-get update -qq
        DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends $missing
    fi
}

zorv_jobs() {
    nproc 2>/dev/null || echo 2
}
