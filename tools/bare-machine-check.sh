#!/usr/bin/env bash
# Runs the CI script on a bare Debian system: makes a minimal Debian root (mmdebstrap, variant
# minbase, from the Debian mirror this machine's apt uses, or MIRROR) in a fresh folder, puts a clean clone of the repository's
# committed HEAD in it, and runs `bash .ci/run` there as root in a chroot, as CI runs it (CI=true,
# no standard input, nothing installed beforehand). Proves that .ci/run installs everything it
# needs, and shows what a newer Debian release changes.
#
#   tools/bare-machine-check.sh SUITE [FOLDER] [REPOSITORY]
#
# SUITE is a Debian release (bookworm, trixie); FOLDER (default /tmp/tarn-bare-SUITE) must not
# exist yet and is left in place afterwards for a look inside; REPOSITORY defaults to the one
# this script belongs to. Needs root, mmdebstrap and git. The times of both steps and the run's
# output go to FOLDER.log.
set -euo pipefail

suite=${1:?usage: $0 SUITE [FOLDER] [REPOSITORY]}
root=${2:-/tmp/tarn-bare-$suite}
repository=${3:-$(git -C "$(dirname "$0")" rev-parse --show-toplevel)}
# The Debian archive and security archive URLs of this machine's apt sources (one-line or
# deb822 form), unless MIRROR and SECURITY_MIRROR name others.
apt_uris() {
    { grep -hs '^URIs:' /etc/apt/sources.list.d/*.sources | cut -d' ' -f2-
      grep -hs '^deb ' /etc/apt/sources.list /etc/apt/sources.list.d/*.list; } |
        tr ' ' '\n' | grep -E '^(https?|file)://' | sed 's|/$||'
}
mirror=${MIRROR:-$(apt_uris | grep -v -- '-security$' | head -n 1 || true)}
security_mirror=${SECURITY_MIRROR:-$(apt_uris | grep -- '-security$' | head -n 1 || true)}
[ -n "$mirror" ] || { echo "no Debian mirror in this machine's apt sources: set MIRROR" >&2; exit 1; }
log=$root.log

[ "$(id -u)" = 0 ] || { echo "needs root (chroot and mounts)" >&2; exit 1; }
command -v mmdebstrap >/dev/null || { echo "needs mmdebstrap (Debian package mmdebstrap)" >&2; exit 1; }
[ ! -e "$root" ] || { echo "$root exists: remove it (nothing may be mounted in it) or name another folder" >&2; exit 1; }
root=$(realpath -m "$root")

mounted=()
cleanup() {
    # Processes still running inside the root (a wine server, say) would keep the mounts busy.
    for process in /proc/[0-9]*; do
        [ "$(readlink "$process/root" 2>/dev/null)" = "$root" ] && kill -9 "${process#/proc/}" 2>/dev/null
    done
    for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
        umount "${mounted[i]}" || umount -l "${mounted[i]}" || true
    done
}
trap cleanup EXIT

exec > >(tee "$log") 2>&1
echo "== $(date -u '+%F %T') UTC: Debian $suite root in $root from $mirror, repository $repository ($(git -C "$repository" rev-parse --short HEAD))"

start=$(date +%s)
sources=("deb $mirror $suite main" "deb $mirror $suite-updates main")
[ -z "$security_mirror" ] || sources+=("deb $security_mirror $suite-security main")
mmdebstrap --variant=minbase "$suite" "$root" "${sources[@]}"
setup_seconds=$(($(date +%s) - start))
echo "== root made in ${setup_seconds} s: $(du -shx "$root" | cut -f1), $(chroot "$root" dpkg-query -f '.\n' -W | wc -l) packages"

git clone --quiet --no-hardlinks "$repository" "$root/root/tarn"
cp /etc/resolv.conf "$root/etc/resolv.conf"
# The host's own extra certificate authorities (for example a sandbox's egress proxy, which
# re-signs https traffic such as npm's) come along like its name servers: a machine of this
# network has them, a fresh Debian root does not. Node reads them through NODE_EXTRA_CA_CERTS.
extra_ca=()
if compgen -G '/usr/local/share/ca-certificates/*.crt' >/dev/null; then
    cat /usr/local/share/ca-certificates/*.crt > "$root/etc/host-extra-ca.pem"
    extra_ca=(NODE_EXTRA_CA_CERTS=/etc/host-extra-ca.pem)
fi
for mount in proc sys dev dev/pts dev/shm; do
    case $mount in
    proc) mount -t proc proc "$root/proc" ;;
    sys) mount -t sysfs sysfs "$root/sys" ;;
    dev) mount --bind /dev "$root/dev" ;;
    dev/pts) mount --bind /dev/pts "$root/dev/pts" ;;
    dev/shm) mount -t tmpfs shm "$root/dev/shm" ;;
    esac
    mounted+=("$root/$mount")
done

start=$(date +%s)
status=0
chroot "$root" /usr/bin/env -i HOME=/root TERM=dumb CI=true LANG=C.UTF-8 "${extra_ca[@]}" \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    bash -c 'cd /root/tarn && bash .ci/run' </dev/null || status=$?
run_seconds=$(($(date +%s) - start))

# What the run left in the clone: every path should be one that .gitignore names.
echo "== files the run wrote in the clone (git status --ignored):"
git -C "$root/root/tarn" status --short --ignored
echo "== Debian $suite: .ci/run exited with status $status after ${run_seconds} s" \
    "(root made in ${setup_seconds} s); $(du -shx "$root" | cut -f1) in $root"
exit "$status"
