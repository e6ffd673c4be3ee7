#!/usr/bin/env bash
# Drives the parameter store against real files, folders, links and file systems, and checks
# what it shows and what it leaves behind. Prints one line a case, PASS, FAIL or SKIP with the
# reason, and ends non-zero when any case failed. Run as root it also saves as another user
# (nobody), mounts file systems and makes folders immutable; run as a normal user it does
# what that user can and says which cases it skipped.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
started=$SECONDS

is_root=no
[ "$(id -u)" -eq 0 ] && is_root=yes

# strace lets the cases watch the temporary file between its creation and its rename; acl
# gives folders that hand an access list to new files.
if [ "$is_root" = yes ]; then
    scripts/install-deps.sh strace acl || echo "note: scripts/install-deps.sh failed; going on with what is installed"
fi

build_log=build/conditions.log
mkdir -p build
if ! { cmake --preset ci -B build/conditions -DDBP_BUILD_APP=OFF &&
    cmake --build build/conditions --target save_driver --parallel "$(nproc)"; } >"$build_log" 2>&1; then
    tail -n 30 "$build_log"
    echo "FAIL build: the driver did not build (log: $build_log)"
    exit 1
fi

base=$(mktemp -d "${TMPDIR:-/tmp}/dbp-conditions.XXXXXX")
chmod 755 "$base"
mounts=()
immutables=()
extra_folders=()
clean_up() {
    local i
    for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do
        umount "${mounts[$i]}" 2>/dev/null || umount -l "${mounts[$i]}"
    done
    for i in "${immutables[@]}"; do
        chattr -i "$i"
    done
    rm -rf "$base" "${extra_folders[@]}"
}
trap clean_up EXIT

# A copy of the driver that every user can run, whatever the clone's permissions.
driver=$base/save_driver
install -m 755 build/conditions/tests/conditions/save_driver "$driver"
outs=$base/out
cases=$base/cases
mkdir -m 755 "$outs" "$cases"

as_user=()
if [ "$is_root" = yes ]; then
    user_name=nobody
    user_owner=nobody:nogroup
    for runner in "setpriv --reuid=nobody --regid=nogroup --clear-groups --" "runuser -u nobody --"; do
        read -ra candidate <<<"$runner"
        "${candidate[@]}" "$driver" >/dev/null 2>&1
        if [ $? -eq 2 ]; then
            as_user=("${candidate[@]}")
            break
        fi
    done
else
    user_name=$(id -un)
    user_owner=$user_name:$(id -gn)
fi

can_mount=no
mount_error="not root"
if [ "$is_root" = yes ]; then
    mkdir "$base/probe"
    if mount_error=$(mount -t tmpfs -o size=64k dbp-probe "$base/probe" 2>&1); then
        umount "$base/probe"
        can_mount=yes
    fi
    rmdir "$base/probe"
fi

have_strace=no
command -v strace >/dev/null && strace -f -qq -o /dev/null true 2>/dev/null && have_strace=yes

# The file every case starts from: lines of other sections around the three values, in the
# code page the program writes, with a dropped section in the middle.
old_database="Stara baza"
old_user=stari
old_password=geslo1
original=$base/original.ini
kept=$base/kept.ini
printf '; Parametri za preskus\r\n[GENERAL]\r\nTITLE=Aplikacija \x9a\xe8\r\n' >"$original"
"$driver" save "$original" "$old_database" "$old_user" "$old_password" >"$outs/original" 2>&1
if [ "$(cat "$outs/original")" != "message: DB parametri so zapisani v $original" ]; then
    echo "FAIL setup: the original file could not be made: $(cat "$outs/original")"
    exit 1
fi
rm -f "$base/original.OLD"
printf '[PRINTER]\r\nPORT=LPT1\r\n' >>"$original"
{
    printf '; Parametri za preskus\r\n[GENERAL]\r\nTITLE=Aplikacija \x9a\xe8\r\n'
    printf '[PRINTER]\r\nPORT=LPT1\r\n'
} >"$kept"
chmod 644 "$original" "$kept"

# shellcheck source=tests/conditions/cases.sh
source tests/conditions/cases.sh

passed=0
failed=0
skipped=0
run_case() {
    local name=$1
    shift
    why=
    "$@"
    case $? in
    0)
        echo "PASS $name${why:+ $why}"
        passed=$((passed + 1))
        ;;
    77)
        echo "SKIP $name: $why"
        skipped=$((skipped + 1))
        ;;
    *)
        echo "FAIL $name: ${why:-no reason given}"
        failed=$((failed + 1))
        ;;
    esac
}

run_case readonly-file case_readonly_file
run_case readonly-folder case_readonly_folder
run_case unreadable-file case_unreadable_file
run_case readonly-bind-mount case_readonly_mount
run_case full-tmpfs case_full_tmpfs
run_case foreign-writable-file-in-sticky-folder case_foreign_file_sticky
run_case immutable-folder case_immutable_folder
run_case immutable-file case_immutable_file
run_case backup-blocked-in-sticky-folder case_backup_sticky
run_case backup-name-is-folder case_backup_is_folder
run_case backup-name-is-link case_backup_is_link
run_case backup-name-is-the-file-itself case_backup_is_same_file

self_owner=$(id -un):$(id -gn)
# name, who saves, umask, whether root must set it up, mode and owner before, mode and owner after
access_cases=(
    "mode-0600 self 022 any 0600 $self_owner 0600 $self_owner"
    "mode-0640 self 022 any 0640 $self_owner 0640 $self_owner"
    "mode-0755 self 022 any 0755 $self_owner 0755 $self_owner"
    "umask-077 self 077 any 0644 $self_owner 0644 $self_owner"
    "other-owner-and-group self 022 root 0640 nobody:nogroup 0640 nobody:nogroup"
    "other-owner-umask-000 self 000 root 0604 nobody:nogroup 0604 nobody:nogroup"
    "user-umask-000 user 000 any 0660 $user_owner 0660 $user_owner"
    "user-cannot-keep-group user 022 root 0664 nobody:root 0644 nobody:nogroup"
)
for row in "${access_cases[@]}"; do
    read -r name who mask setup mode owner want_mode want_owner <<<"$row"
    if [ "$setup" = root ] && [ "$is_root" = no ]; then
        run_case "keeps-access-$name" need_root
    elif [ "$who" = user ] && ! need_user; then
        run_case "keeps-access-$name" need_user
    else
        run_case "keeps-access-$name" keeps_access "access-$name" "$who" "$mask" "$mode" "$owner" "$want_mode" \
            "$want_owner"
    fi
done

run_case keeps-access-list-in-folder-with-default-acl case_default_acl
run_case link-relative case_link_relative
run_case link-chain case_link_chain
run_case link-dangling case_link_dangling
run_case link-onto-other-file-system case_link_other_fs
run_case two-hard-links case_hard_links
run_case default-file-beside-executable case_default_file
run_case stray-temporary-files case_stray_temps
run_case two-savers-at-once case_concurrent
run_case endurance-10000-saves case_endurance

echo "$passed passed, $failed failed, $skipped skipped in $((SECONDS - started)) s"
[ "$failed" -eq 0 ]
