#!/usr/bin/env bash
# The checks and the cases of scripts/real-conditions.sh, sourced by it. Each case function
# sets up its own folder, runs the driver and returns 0 (passed), 1 (failed, reason in why)
# or 77 (skipped, reason in why).
# shellcheck disable=SC2154 # the driver, the folders and what this machine permits come from real-conditions.sh

# --- Checks: each returns non-zero and says why when what it sees is not what it expects.

# The driver's output file holds exactly the given lines, file labels left out.
expect_shown() {
    local out=$1
    shift
    local seen wanted
    seen=$(grep -v '^label: ' "$out")
    wanted=$(printf '%s\n' "$@")
    [ "$seen" = "$wanted" ] && return 0
    why="shown '${seen//$'\n'/ | }', expected '${wanted//$'\n'/ | }'$(err_of "$out")"
    return 1
}

err_of() {
    [ -s "$1.err" ] && printf ' (stderr: %s)' "$(tr '\n' ' ' <"$1.err")"
}

expect_message() {
    expect_shown "$1" "message: $2"
}

# file holds the carried-over lines byte for byte, then the section with the three values.
expect_saved() {
    local file=$1 database=$2 user=$3 password=$4
    local kept_size line_no=0 re
    kept_size=$(stat -c %s "$kept")
    if ! cmp -s -n "$kept_size" "$file" "$kept"; then
        why="$file: the carried-over lines are not intact"
        return 1
    fi
    local rest=()
    mapfile -t rest < <(tail -c +$((kept_size + 1)) "$file")
    local wanted=("\\[DATABASE\\]" "DATABASENAME=[0-9A-F]{$((2 * (20 + ${#database})))}"
        "USERNAME=[0-9A-F]{$((2 * (20 + ${#user})))}" "PASSWORD=[0-9A-F]{$((2 * (20 + ${#password})))}")
    if [ ${#rest[@]} -ne 4 ] || [ "$(tail -c 2 "$file" | od -An -c | tr -d ' ')" != '\r\n' ]; then
        why="$file: expected the section's four lines after the carried-over ones, saw ${#rest[@]}"
        return 1
    fi
    for re in "${wanted[@]}"; do
        if ! [[ ${rest[$line_no]} =~ ^$re$'\r'$ ]]; then
            why="$file: line '${rest[$line_no]}' is not /$re/"
            return 1
        fi
        line_no=$((line_no + 1))
    done
    "$driver" load "$file" >"$outs/load" 2>"$outs/load.err"
    expect_shown "$outs/load" "database: $database" "user: $user" "password: $password" || {
        why="$file read back: $why"
        return 1
    }
}

expect_original() {
    cmp -s "$1" "$original" && return 0
    why="$1 is not the original file byte for byte"
    return 1
}

# The names in folder are exactly the given ones; a name ending in "?" may be missing.
expect_entries() {
    local folder=$1 name seen required=() optional=()
    shift
    for name in "$@"; do
        if [ "${name%\?}" != "$name" ]; then optional+=("${name%\?}"); else required+=("$name"); fi
    done
    seen=$(ls -A "$folder")
    for name in "${required[@]}"; do
        grep -qxF -- "$name" <<<"$seen" || {
            why="$folder: $name is missing (has: ${seen//$'\n'/ })"
            return 1
        }
    done
    while IFS= read -r name; do
        [ -z "$name" ] && continue
        printf '%s\n' "${required[@]}" "${optional[@]}" | grep -qxF -- "$name" || {
            why="$folder: unexpected $name"
            return 1
        }
    done <<<"$seen"
}

# stat of path, in stat's format, is wanted.
expect_stat() {
    local path=$1 format=$2 expected=$3 seen
    seen=$(stat -c "$format" "$path" 2>&1)
    [ "$seen" = "$expected" ] && return 0
    why="$path: stat '$format' is '$seen', expected '$expected'"
    return 1
}

expect_no_temps() {
    local found
    found=$(find "$@" -maxdepth 1 -name '*.dbp-tmp' 2>/dev/null)
    [ -z "$found" ] && return 0
    why="temporary files remain: ${found//$'\n'/ }"
    return 1
}

# --- Setting up.

new_folder() {
    local folder=$cases/$1
    mkdir -p "$folder"
    chmod 755 "$folder"
    printf '%s' "$folder"
}

# put_original PATH MODE [OWNER:GROUP]
put_original() {
    cp "$original" "$1"
    chmod "$2" "$1"
    [ -n "${3:-}" ] && chown "$3" "$1"
    return 0
}

# drive OUT WHO UMASK ARGS...: runs the driver as WHO (self, or user for the unprivileged one).
# The timeout only guards against a hang; nothing here is timed.
drive() {
    local out=$1 who=$2 mask=$3
    shift 3
    local command=("$driver" "$@")
    [ "$who" = user ] && command=("${as_user[@]}" "${command[@]}")
    (umask "$mask" && exec timeout 60 "${command[@]}") >"$out" 2>"$out.err"
}

need_root() {
    [ "$is_root" = yes ] && return 0
    why="needs root to set up"
    return 77
}

# Cases for the unprivileged user: as root, that is nobody, run through setpriv or runuser.
need_user() {
    [ "$is_root" = no ] || [ ${#as_user[@]} -gt 0 ] && return 0
    why="neither setpriv nor runuser can run a program as nobody here"
    return 77
}

need_mount() {
    need_root || return 77
    [ "$can_mount" = yes ] && return 0
    why="mounting is not permitted here ($mount_error)"
    return 77
}

# --- Refused saves: the file and its folder stay as they were.

# A file its owner may not write: the save stops and the file is not replaced.
case_readonly_file() {
    need_user || return 77
    local dir out=$outs/readonly_file inode
    dir=$(new_folder readonly_file)
    chown "$user_owner" "$dir"
    put_original "$dir/VOBERA.INI" 0444 "$user_owner"
    inode=$(stat -c %i "$dir/VOBERA.INI")
    drive "$out" user 022 save "$dir/VOBERA.INI" nova novi geslo2
    expect_message "$out" "Ne morem odpreti datoteke $dir/VOBERA.INI" &&
        expect_original "$dir/VOBERA.INI" && expect_stat "$dir/VOBERA.INI" '%i %a' "$inode 444" &&
        expect_entries "$dir" VOBERA.INI VOBERA.OLD? && { [ ! -e "$dir/VOBERA.OLD" ] || expect_original "$dir/VOBERA.OLD"; }
}

# A folder the user may not write, holding a file the user may: nothing can be created there.
case_readonly_folder() {
    need_user || return 77
    local dir out=$outs/readonly_folder inode result
    dir=$(new_folder readonly_folder)
    put_original "$dir/VOBERA.INI" 0644 "$user_owner"
    # Root owns the folder; a normal user running this cannot give it away, so takes away its own right.
    [ "$is_root" = yes ] || chmod 555 "$dir"
    inode=$(stat -c %i "$dir/VOBERA.INI")
    drive "$out" user 022 save "$dir/VOBERA.INI" nova novi geslo2
    expect_message "$out" "Ne morem odpreti datoteke $dir/VOBERA.INI" &&
        expect_original "$dir/VOBERA.INI" && expect_stat "$dir/VOBERA.INI" '%i %a %U' "$inode 644 $user_name" &&
        expect_entries "$dir" VOBERA.INI
    result=$?
    chmod 755 "$dir"
    return $result
}

case_unreadable_file() {
    need_user || return 77
    local dir out=$outs/unreadable_file
    dir=$(new_folder unreadable_file)
    chown "$user_owner" "$dir"
    put_original "$dir/VOBERA.INI" 0200 "$user_owner"
    drive "$out" user 022 save "$dir/VOBERA.INI" nova novi geslo2
    expect_message "$out" "Napaka pri odpiranju datoteke: $dir/VOBERA.INI" &&
        expect_stat "$dir/VOBERA.INI" '%a %h' "200 1" && chmod 600 "$dir/VOBERA.INI" &&
        expect_original "$dir/VOBERA.INI" && expect_entries "$dir" VOBERA.INI
}

# The save reads and replaces the file through the mount, which refuses every write.
case_readonly_mount() {
    need_mount || return 77
    local dir out=$outs/readonly_mount
    dir=$(new_folder readonly_mount)
    mkdir "$dir/source" "$dir/view"
    put_original "$dir/source/VOBERA.INI" 0644
    if ! mount --bind "$dir/source" "$dir/view"; then
        why="the bind mount could not be made"
        return 77
    fi
    mounts+=("$dir/view")
    if ! mount -o remount,ro,bind "$dir/view"; then
        why="the bind mount could not be made read-only"
        return 77
    fi
    drive "$out" self 022 save "$dir/view/VOBERA.INI" nova novi geslo2
    expect_message "$out" "Ne morem odpreti datoteke $dir/view/VOBERA.INI" &&
        expect_original "$dir/source/VOBERA.INI" && expect_entries "$dir/source" VOBERA.INI
}

# A file system with no room left for the new file: the write fails and nothing is left over.
case_full_tmpfs() {
    need_mount || return 77
    local dir out=$outs/full_tmpfs
    dir=$(new_folder full_tmpfs)
    if ! mount -t tmpfs -o size=64k,mode=755 dbp-full "$dir"; then
        why="the tmpfs could not be mounted"
        return 77
    fi
    mounts+=("$dir")
    put_original "$dir/VOBERA.INI" 0644
    dd if=/dev/zero of="$dir/filler" bs=4k status=none 2>/dev/null
    if [ "$(stat -f -c %a "$dir")" != 0 ]; then
        why="the tmpfs could not be filled"
        return 77
    fi
    drive "$out" self 022 save "$dir/VOBERA.INI" nova novi geslo2
    expect_message "$out" "Ne morem odpreti datoteke $dir/VOBERA.INI" &&
        expect_original "$dir/VOBERA.INI" && expect_entries "$dir" VOBERA.INI filler VOBERA.OLD? &&
        { [ ! -e "$dir/VOBERA.OLD" ] || expect_original "$dir/VOBERA.OLD"; }
}

# make_immutable PATH: chattr +i, remembered so the clean-up can undo it.
make_immutable() {
    chattr +i "$1" 2>/dev/null && immutables+=("$1")
}

# immutable_case NAME WHAT: the folder itself (WHAT empty) or its VOBERA.INI made immutable;
# the save is refused before anything is written, so no backup appears either.
immutable_case() {
    need_root || return 77
    local dir out=$outs/$1
    dir=$(new_folder "$1")
    put_original "$dir/VOBERA.INI" 0644
    make_immutable "$dir${2:+/$2}" || {
        why="chattr +i is not supported on $(stat -f -c %T "$dir") here"
        return 77
    }
    drive "$out" self 022 save "$dir/VOBERA.INI" nova novi geslo2
    expect_message "$out" "Ne morem odpreti datoteke $dir/VOBERA.INI" &&
        expect_original "$dir/VOBERA.INI" && expect_entries "$dir" VOBERA.INI
}

case_immutable_folder() {
    immutable_case immutable_folder ""
}

case_immutable_file() {
    immutable_case immutable_file VOBERA.INI
}

# Another user's file that the user may write, in a sticky folder: the new file cannot take
# its name, so the save stops, and whatever it made on the way is gone.
case_foreign_file_sticky() {
    need_root || return 77
    need_user || return 77
    local dir out=$outs/foreign_file_sticky inode
    dir=$(new_folder foreign_file_sticky)
    chmod 1777 "$dir"
    put_original "$dir/VOBERA.INI" 0666
    inode=$(stat -c %i "$dir/VOBERA.INI")
    drive "$out" user 022 save "$dir/VOBERA.INI" nova novi geslo2
    expect_message "$out" "Ne morem odpreti datoteke $dir/VOBERA.INI" && expect_original "$dir/VOBERA.INI" &&
        expect_no_temps "$dir" && expect_stat "$dir/VOBERA.INI" '%i %a %U %h' "$inode 666 root 1" &&
        expect_entries "$dir" VOBERA.INI
}

# --- Backups that cannot be made: the save goes on.

# The old backup belongs to root in a sticky folder, so the user may not replace it.
case_backup_sticky() {
    need_root || return 77
    need_user || return 77
    local dir out=$outs/backup_sticky
    dir=$(new_folder backup_sticky)
    chmod 1777 "$dir"
    put_original "$dir/VOBERA.INI" 0644 "$user_owner"
    printf 'older backup\r\n' >"$dir/VOBERA.OLD"
    drive "$out" user 022 save "$dir/VOBERA.INI" nova novi geslo2
    expect_message "$out" "DB parametri so zapisani v $dir/VOBERA.INI" &&
        expect_saved "$dir/VOBERA.INI" nova novi geslo2 &&
        expect_stat "$dir/VOBERA.INI" '%a %U' "644 $user_name" &&
        expect_stat "$dir/VOBERA.OLD" '%U %s' "root 14" && expect_entries "$dir" VOBERA.INI VOBERA.OLD
}

case_backup_is_folder() {
    need_user || return 77
    local dir out=$outs/backup_is_folder inode
    dir=$(new_folder backup_is_folder)
    chown "$user_owner" "$dir" 2>/dev/null
    put_original "$dir/VOBERA.INI" 0644 "$user_owner"
    mkdir "$dir/VOBERA.OLD"
    printf 'kept\n' >"$dir/VOBERA.OLD/inside"
    inode=$(stat -c %i "$dir/VOBERA.OLD")
    drive "$out" user 022 save "$dir/VOBERA.INI" nova novi geslo2
    expect_message "$out" "DB parametri so zapisani v $dir/VOBERA.INI" &&
        expect_saved "$dir/VOBERA.INI" nova novi geslo2 &&
        expect_stat "$dir/VOBERA.OLD" '%F %i' "directory $inode" && expect_entries "$dir/VOBERA.OLD" inside &&
        expect_stat "$dir/VOBERA.OLD/inside" %s 5 && expect_entries "$dir" VOBERA.INI VOBERA.OLD
}

# The old backup is a link to another file, which no save may write through.
case_backup_is_link() {
    local dir out=$outs/backup_is_link before
    dir=$(new_folder backup_is_link)
    mkdir "$dir/elsewhere"
    printf 'precious\r\n' >"$dir/elsewhere/precious.ini"
    before=$(stat -c '%i %s %Y %h' "$dir/elsewhere/precious.ini")
    put_original "$dir/VOBERA.INI" 0644
    ln -s elsewhere/precious.ini "$dir/VOBERA.OLD"
    drive "$out" self 022 save "$dir/VOBERA.INI" nova novi geslo2
    expect_message "$out" "DB parametri so zapisani v $dir/VOBERA.INI" &&
        expect_saved "$dir/VOBERA.INI" nova novi geslo2 &&
        expect_stat "$dir/elsewhere/precious.ini" '%i %s %Y %h' "$before" &&
        { [ "$(cat "$dir/elsewhere/precious.ini")" = $'precious\r' ] || {
            why="the file the old backup linked to was changed"
            return 1
        }; } && expect_entries "$dir" VOBERA.INI VOBERA.OLD elsewhere &&
        { [ -L "$dir/VOBERA.OLD" ] || expect_original "$dir/VOBERA.OLD"; }
}

# The old backup is another name of the file itself.
case_backup_is_same_file() {
    local dir out=$outs/backup_is_same_file inode
    dir=$(new_folder backup_is_same_file)
    put_original "$dir/VOBERA.INI" 0644
    ln "$dir/VOBERA.INI" "$dir/VOBERA.OLD"
    inode=$(stat -c %i "$dir/VOBERA.INI")
    drive "$out" self 022 save "$dir/VOBERA.INI" nova novi geslo2
    expect_message "$out" "DB parametri so zapisani v $dir/VOBERA.INI" &&
        expect_saved "$dir/VOBERA.INI" nova novi geslo2 && expect_original "$dir/VOBERA.OLD" &&
        expect_stat "$dir/VOBERA.OLD" '%i %h' "$inode 1" && expect_entries "$dir" VOBERA.INI VOBERA.OLD
}

# --- Saves that succeed keep the file's access; the new file is never open to more people.

# is_safe OLD_MODE OLD_UID OLD_GID MODE UID GID: no read or write right in the second is new.
is_safe() {
    local old=$((8#$1)) old_uid=$2 old_gid=$3 mode=$((8#$4)) uid=$5 gid=$6 right
    for right in 4 2; do
        if ((mode & right)) && ! ((old & right)); then return 1; fi
        if ((mode & right << 3)) && ! ((old & right)) && ! { [ "$gid" = "$old_gid" ] && ((old & right << 3)); }; then
            return 1
        fi
        if ((mode & right << 6)) && ! ((old & right)) && [ "$uid" != 0 ] && [ "$uid" != "$old_uid" ]; then
            return 1
        fi
    done
}

# watch_temps FOLDER LOG: records the mode, owner and group of each temporary file seen.
watch_temps() {
    local folder=$1 log=$2 temp
    while :; do
        for temp in "$folder"/.*.dbp-tmp; do
            [ -e "$temp" ] && stat -c '%n %a %u %g' "$temp" >>"$log" 2>/dev/null
        done
        sleep 0.01
    done
}

# The temporary file of the new content is created for its owner only and handed over
# (chown, then chmod) before it takes the file's name; the watcher sees it in between, as
# strace holds each fchown and fchmod back for a moment.
expect_watched_safe() {
    local trace=$1 seen=$2 mode=$3 uid=$4 gid=$5 observations name obs_mode obs_uid obs_gid
    observations=$(grep -c '/\.VOBERA\.INI\.' "$seen" 2>/dev/null)
    if [ "${observations:-0}" -eq 0 ]; then
        why="the watcher saw no temporary file"
        return 1
    fi
    while read -r name obs_mode obs_uid obs_gid; do
        [[ $name == */.VOBERA.INI.* ]] || continue
        is_safe "$mode" "$uid" "$gid" "$obs_mode" "$obs_uid" "$obs_gid" || {
            why="temporary file seen as $obs_mode $obs_uid:$obs_gid, the file was $mode $uid:$gid"
            return 1
        }
    done <"$seen"
    local create order
    create=$(grep -E "openat\(.*\.VOBERA\.INI\.[0-9]+-[0-9]+\.dbp-tmp\"" "$trace" | head -n 1)
    [[ $create == *O_CREAT*O_EXCL*", 0600)"* ]] || {
        why="the temporary file was not created exclusively with 0600: $create"
        return 1
    }
    order=$(grep -oE '^[0-9]+ +(fchown|fchmod|rename\("[^"]*\.VOBERA\.INI\.)' "$trace" |
        sed -E 's/^[0-9]+ +//; s/\(.*//' | uniq | tr '\n' ' ')
    case $order in
    "fchmod rename " | "fchown fchmod rename ") ;;
    *)
        why="chown, chmod and rename came as: $order"
        return 1
        ;;
    esac
}

# keeps_access NAME WHO UMASK MODE OWNER:GROUP EXPECTED_MODE EXPECTED_OWNER:GROUP
keeps_access() {
    local name=$1 who=$2 mask=$3 mode=$4 owner=$5 want_mode=$6 want_owner=$7
    local dir out=$outs/$name inode seen=$outs/$name.seen trace=$outs/$name.trace watcher
    dir=$(new_folder "$name")
    chown "$user_owner" "$dir"
    put_original "$dir/VOBERA.INI" "$mode" "$owner"
    inode=$(stat -c %i "$dir/VOBERA.INI")
    local old_uid old_gid
    old_uid=$(stat -c %u "$dir/VOBERA.INI")
    old_gid=$(stat -c %g "$dir/VOBERA.INI")
    if [ "$have_strace" = yes ]; then
        : >"$seen"
        watch_temps "$dir" "$seen" &
        watcher=$!
        local held=(-e inject=fchown:delay_enter=150000 -e inject=fchmod:delay_enter=150000)
        local traced=(strace -f -qq -o "$trace" -e "trace=openat,fchown,fchmod,rename" "${held[@]}")
        if [ "$who" = user ]; then
            (umask "$mask" && exec timeout 60 "${traced[@]}" "${as_user[@]}" "$driver" save "$dir/VOBERA.INI" \
                nova novi geslo2) >"$out" 2>"$out.err"
        else
            (umask "$mask" && exec timeout 60 "${traced[@]}" "$driver" save "$dir/VOBERA.INI" nova novi geslo2) \
                >"$out" 2>"$out.err"
        fi
        kill "$watcher"
        wait "$watcher" 2>/dev/null
    else
        drive "$out" "$who" "$mask" save "$dir/VOBERA.INI" nova novi geslo2
    fi
    expect_message "$out" "DB parametri so zapisani v $dir/VOBERA.INI" &&
        expect_saved "$dir/VOBERA.INI" nova novi geslo2 &&
        expect_stat "$dir/VOBERA.INI" '%a %U:%G %h' "${want_mode#0} $want_owner 1" &&
        expect_stat "$dir/VOBERA.OLD" '%i %a %U:%G %h' "$inode ${mode#0} $owner 1" &&
        expect_original "$dir/VOBERA.OLD" && expect_entries "$dir" VOBERA.INI VOBERA.OLD || return 1
    if [ "$have_strace" = yes ]; then
        expect_watched_safe "$trace" "$seen" "$mode" "$old_uid" "$old_gid"
    else
        why="passed, but strace is missing, so the temporary file's access was not watched"
        return 77
    fi
}

# A folder whose default access list names another user: the new file must not let that
# user in where the old file did not.
case_default_acl() {
    if ! command -v setfacl >/dev/null || ! command -v getfacl >/dev/null; then
        why="setfacl and getfacl are missing (Debian package acl)"
        return 77
    fi
    local dir out=$outs/default_acl before after
    dir=$(new_folder default_acl)
    put_original "$dir/VOBERA.INI" 0640
    if ! setfacl -d -m u:4242:rw "$dir" 2>/dev/null; then
        why="the file system here takes no access lists"
        return 77
    fi
    before=$(getfacl -cn "$dir/VOBERA.INI" 2>/dev/null)
    drive "$out" self 022 save "$dir/VOBERA.INI" nova novi geslo2
    expect_message "$out" "DB parametri so zapisani v $dir/VOBERA.INI" &&
        expect_saved "$dir/VOBERA.INI" nova novi geslo2 && expect_stat "$dir/VOBERA.INI" %a 640 || return 1
    after=$(getfacl -cn "$dir/VOBERA.INI" 2>/dev/null)
    [ "$after" = "$before" ] && return 0
    why="the access list was '${before//$'\n'/ }' and is now '${after//$'\n'/ }'"
    return 1
}

# --- Symbolic and hard links.

# expect_through_link LINK TARGET: the save through LINK rewrote TARGET and left LINK a link.
expect_through_link() {
    local link=$1 target=$2 link_text=$3 out=$4
    expect_message "$out" "DB parametri so zapisani v $link" && expect_saved "$target" nova novi geslo2 &&
        expect_stat "$link" '%F' 'symbolic link' || return 1
    if [ "$(readlink "$link")" != "$link_text" ]; then
        why="$link no longer points to $link_text"
        return 1
    fi
    expect_original "$(dirname "$link")/VOBERA.OLD"
}

case_link_relative() {
    local dir out=$outs/link_relative
    dir=$(new_folder link_relative)
    mkdir "$dir/app" "$dir/data"
    put_original "$dir/data/params.ini" 0640
    ln -s ../data/params.ini "$dir/app/VOBERA.INI"
    drive "$out" self 022 save "$dir/app/VOBERA.INI" nova novi geslo2
    expect_through_link "$dir/app/VOBERA.INI" "$dir/data/params.ini" ../data/params.ini "$out" &&
        expect_stat "$dir/data/params.ini" '%a %h' '640 1' && expect_entries "$dir/app" VOBERA.INI VOBERA.OLD &&
        expect_entries "$dir/data" params.ini
}

case_link_chain() {
    local dir out=$outs/link_chain
    dir=$(new_folder link_chain)
    mkdir "$dir/a" "$dir/b"
    put_original "$dir/b/real.ini" 0600
    ln -s real.ini "$dir/b/middle.ini"
    ln -s ../b/middle.ini "$dir/a/VOBERA.INI"
    drive "$out" self 022 save "$dir/a/VOBERA.INI" nova novi geslo2
    expect_through_link "$dir/a/VOBERA.INI" "$dir/b/real.ini" ../b/middle.ini "$out" &&
        expect_stat "$dir/b/middle.ini" '%F' 'symbolic link' && expect_entries "$dir/a" VOBERA.INI VOBERA.OLD &&
        expect_entries "$dir/b" real.ini middle.ini || return 1
    if [ "$(readlink "$dir/b/middle.ini")" != real.ini ]; then
        why="the middle link no longer points to real.ini"
        return 1
    fi
}

case_link_dangling() {
    local dir out=$outs/link_dangling
    dir=$(new_folder link_dangling)
    ln -s gone.ini "$dir/VOBERA.INI"
    drive "$out" self 022 save "$dir/VOBERA.INI" nova novi geslo2
    expect_message "$out" "Ni datoteke $dir/VOBERA.INI" && expect_entries "$dir" VOBERA.INI || return 1
    if [ "$(readlink "$dir/VOBERA.INI")" != gone.ini ]; then
        why="the dangling link no longer points to gone.ini"
        return 1
    fi
}

# The target lives on another file system, so the new file must be made beside it, and the
# backup beside the link can only be a copy.
case_link_other_fs() {
    local dir out=$outs/link_other_fs elsewhere inode trace=$outs/link_other_fs.trace
    dir=$(new_folder link_other_fs)
    if [ "$can_mount" = yes ]; then
        elsewhere=$(new_folder link_other_fs_target)
        mount -t tmpfs -o size=1m,mode=755 dbp-other "$elsewhere" && mounts+=("$elsewhere")
    elif [ -d /dev/shm ] && [ -w /dev/shm ] && [ "$(stat -c %d /dev/shm)" != "$(stat -c %d "$dir")" ]; then
        elsewhere=$(mktemp -d /dev/shm/dbp-conditions.XXXXXX)
        extra_folders+=("$elsewhere")
    else
        why="no other file system to link to (no mount permitted, no separate /dev/shm)"
        return 77
    fi
    put_original "$elsewhere/params.ini" 0640
    inode=$(stat -c %i "$elsewhere/params.ini")
    ln -s "$elsewhere/params.ini" "$dir/VOBERA.INI"
    if [ "$have_strace" = yes ]; then
        (umask 022 && exec timeout 60 strace -f -qq -o "$trace" -e trace=openat,rename \
            "$driver" save "$dir/VOBERA.INI" nova novi geslo2) >"$out" 2>"$out.err"
    else
        drive "$out" self 022 save "$dir/VOBERA.INI" nova novi geslo2
    fi
    expect_through_link "$dir/VOBERA.INI" "$elsewhere/params.ini" "$elsewhere/params.ini" "$out" &&
        expect_stat "$dir/VOBERA.OLD" '%a %h' '640 1' && expect_entries "$dir" VOBERA.INI VOBERA.OLD &&
        expect_entries "$elsewhere" params.ini || return 1
    # A new inode under the target's name can only have come from a file made on its file system.
    if [ "$(stat -c %i "$elsewhere/params.ini")" = "$inode" ]; then
        why="the target was not replaced by a new file"
        return 1
    fi
    [ "$have_strace" = yes ] || return 0
    grep -qE "openat\(AT_FDCWD, \"$elsewhere/\.params\.ini\.[0-9]+-[0-9]+\.dbp-tmp\".*O_CREAT" "$trace" || {
        why="strace shows no temporary file created beside the target in $elsewhere"
        return 1
    }
}

# The other name keeps the old file: the save puts a new file in place rather than writing
# into the shared one, and the backup is that old file.
case_hard_links() {
    local dir out=$outs/hard_links inode
    dir=$(new_folder hard_links)
    put_original "$dir/VOBERA.INI" 0644
    ln "$dir/VOBERA.INI" "$dir/other.ini"
    inode=$(stat -c %i "$dir/VOBERA.INI")
    drive "$out" self 022 save "$dir/VOBERA.INI" nova novi geslo2
    expect_message "$out" "DB parametri so zapisani v $dir/VOBERA.INI" &&
        expect_saved "$dir/VOBERA.INI" nova novi geslo2 && expect_stat "$dir/VOBERA.INI" %h 1 &&
        expect_original "$dir/other.ini" && expect_original "$dir/VOBERA.OLD" &&
        expect_stat "$dir/other.ini" '%i %h' "$inode 2" && expect_stat "$dir/VOBERA.OLD" '%i %h' "$inode 2" &&
        expect_entries "$dir" VOBERA.INI VOBERA.OLD other.ini
}

# With no file chosen the store finds vobera.ini, in any letter case, in the executable's folder.
case_default_file() {
    local dir out=$outs/default_file
    dir=$(new_folder default_file)
    put_original "$dir/vobera.ini" 0644
    drive "$out" self 022 -e "$dir" save "" nova novi geslo2
    expect_message "$out" "DB parametri so zapisani v $dir/vobera.ini" &&
        expect_saved "$dir/vobera.ini" nova novi geslo2 && expect_original "$dir/VOBERA.OLD" &&
        expect_entries "$dir" vobera.ini VOBERA.OLD
}

# --- Left-overs and company.

# A killed save's temporary files go with the next save; a running process's stay.
case_stray_temps() {
    local dir out=$outs/stray_temps dead
    dir=$(new_folder stray_temps)
    put_original "$dir/VOBERA.INI" 0644
    sleep 0 &
    dead=$!
    wait "$dead"
    if kill -0 "$dead" 2>/dev/null; then
        why="could not find a pid that is not running"
        return 77
    fi
    local dead_ini=.VOBERA.INI.$dead-1.dbp-tmp dead_old=.VOBERA.OLD.$dead-1.dbp-tmp
    local live=.VOBERA.INI.$$-1.dbp-tmp foreign=.OTHER.INI.$dead-1.dbp-tmp name
    for name in "$dead_ini" "$dead_old" "$live" "$foreign"; do
        printf 'half a save' >"$dir/$name"
    done
    drive "$out" self 022 save "$dir/VOBERA.INI" nova novi geslo2
    expect_message "$out" "DB parametri so zapisani v $dir/VOBERA.INI" &&
        expect_saved "$dir/VOBERA.INI" nova novi geslo2 &&
        expect_entries "$dir" VOBERA.INI VOBERA.OLD "$live" "$foreign" && expect_stat "$dir/$live" %s 11
}

# expect_one_set FILE [original]: the three values of FILE are one save's, of the first or the
# second writer, or with "original" also the values the file started with.
expect_one_set() {
    local file=$1 values
    "$driver" load "$file" >"$outs/one_set" 2>&1
    values=$(grep -v '^label: ' "$outs/one_set" | tr '\n' ' ')
    [ "${2:-}" = original ] && [ "$values" = "database: $old_database user: $old_user password: $old_password " ] &&
        return 0
    local set='^database: (first|second)-db\.([0-9]+) user: ([a-z]+)-user\.([0-9]+) password: ([a-z]+)-pw\.([0-9]+) $'
    [[ $values =~ $set ]] && [ "${BASH_REMATCH[1]}" = "${BASH_REMATCH[3]}" ] &&
        [ "${BASH_REMATCH[3]}" = "${BASH_REMATCH[5]}" ] && [ "${BASH_REMATCH[2]}" = "${BASH_REMATCH[4]}" ] &&
        [ "${BASH_REMATCH[4]}" = "${BASH_REMATCH[6]}" ] && return 0
    why="$file holds a mix or no complete save: $values"
    return 1
}

# Two processes save the same file at once; a third reads it meanwhile. Every read and the
# end see one complete save, whole.
case_concurrent() {
    local dir out=$outs/concurrent first second reads=0 count=300 torn=
    dir=$(new_folder concurrent)
    put_original "$dir/VOBERA.INI" 0644
    drive "$out.first" self 022 loop "$dir/VOBERA.INI" "$count" first-db first-user first-pw &
    first=$!
    drive "$out.second" self 022 loop "$dir/VOBERA.INI" "$count" second-db second-user second-pw &
    second=$!
    while [ -z "$torn" ] && { kill -0 "$first" || kill -0 "$second"; } 2>/dev/null; do
        expect_one_set "$dir/VOBERA.INI" original || torn=$why
        reads=$((reads + 1))
    done
    wait "$first"
    wait "$second"
    if [ -n "$torn" ]; then
        why="read during the saves: $torn"
        return 1
    fi
    local which
    for which in first second; do
        grep -qx "saved: $count of $count" "$out.$which" || {
            why="the $which writer: $(head -n 2 "$out.$which" | tr '\n' ' ')$(err_of "$out.$which")"
            return 1
        }
    done
    local database
    database=$("$driver" load "$dir/VOBERA.INI" | sed -n 's/^database: //p')
    expect_one_set "$dir/VOBERA.INI" &&
        expect_saved "$dir/VOBERA.INI" "$database" "${database/-db/-user}" "${database/-db/-pw}" &&
        expect_one_set "$dir/VOBERA.OLD" && expect_entries "$dir" VOBERA.INI VOBERA.OLD || return 1
    why="($reads reads during the saves)"
}

# Many saves in one process leave no descriptor open and no memory held. The file system is
# tmpfs where there is one, so that the run measures the store rather than the disk's syncs.
case_endurance() {
    local dir out=$outs/endurance count=10000 growth
    if [ -d /dev/shm ] && [ -w /dev/shm ]; then
        dir=$(mktemp -d /dev/shm/dbp-conditions.XXXXXX)
        extra_folders+=("$dir")
    else
        dir=$(new_folder endurance)
    fi
    put_original "$dir/VOBERA.INI" 0644
    drive "$out" self 022 loop "$dir/VOBERA.INI" "$count" baza ime geslo
    local saved descriptors=() resident=()
    saved=$(grep '^saved: ' "$out")
    read -ra descriptors < <(sed -n 's/^descriptors: //p' "$out")
    read -ra resident < <(sed -n 's/^resident KiB: //p' "$out")
    if [ "$saved" != "saved: $count of $count" ]; then
        why="$saved $(grep '^other' "$out")$(err_of "$out")"
        return 1
    fi
    if [ "${#descriptors[@]}" -ne 2 ] || [ "${descriptors[0]}" != "${descriptors[1]}" ]; then
        why="descriptors open before and after: ${descriptors[*]}"
        return 1
    fi
    growth=$((resident[2] - resident[1]))
    if [ "${#resident[@]}" -ne 3 ] || [ "$growth" -gt 256 ]; then
        why="resident KiB after the first, middle and last save: ${resident[*]}"
        return 1
    fi
    expect_saved "$dir/VOBERA.INI" "baza.$count" "ime.$count" "geslo.$count" &&
        expect_saved "$dir/VOBERA.OLD" "baza.$((count - 1))" "ime.$((count - 1))" "geslo.$((count - 1))" &&
        expect_entries "$dir" VOBERA.INI VOBERA.OLD || return 1
    why="(descriptors ${descriptors[*]}, resident KiB ${resident[*]})"
}
