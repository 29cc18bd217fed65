#!/bin/bash
# Fails each system call of a word-file save in turn, with strace's fault injection, and
# checks after every run that the word file holds exactly the old or the new words, that
# a failure was reported whenever it holds the old ones, and that nothing was left beside
# it. Every occurrence of each call is failed once, in three settings: the usual save
# (an unnamed temporary file, then rename), the save where the file system refuses unnamed
# files (a hidden named one instead), and the in-place save of a file with two hard links.
#
#   file_fault_inject.sh FILE_FAULT_SAVE     exit 0: all good; 1: a fault; 77: no strace

set -u
helper=${1:?usage: $0 FILE_FAULT_SAVE}
if ! command -v strace >/dev/null 2>&1; then
    echo "strace is not installed: fault injection skipped"
    exit 77
fi
if ! strace -qq -o /dev/null -e trace=none true 2>/dev/null; then
    echo "strace cannot trace here (ptrace refused): fault injection skipped"
    exit 77
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/ref"
"$helper" "$work/ref/old" old && "$helper" "$work/ref/new" new || {
    echo "the helper cannot save without faults"
    exit 1
}
game=$work/game

# The faults: system call(s) and the error it returns.
faults=(
    "write ENOSPC" "write EIO" "fsync EIO" "close ENOSPC"
    "rename,renameat,renameat2 EXDEV" "rename,renameat,renameat2 EIO"
    "linkat EIO" "ftruncate EIO" "openat ENOSPC" "openat EACCES"
)

total=0 good=0 false_successes=0 leftovers=0 corrupt=0

setup() {  # scenario
    rm -rf "$game"
    mkdir "$game"
    cp "$work/ref/old" "$game/len7.txt"
    expected="len7.txt"
    if [ "$1" = hardlink ]; then
        ln "$game/len7.txt" "$game/other.txt"
        expected="len7.txt other.txt"
    fi
}

# Extra strace options of a scenario: refusing O_TMPFILE needs the number of that openat.
scenario_options() {  # scenario
    if [ "$1" = named ]; then
        setup plain
        strace -qq -o "$work/trace" -e trace=openat "$helper" "$game/len7.txt" new
        local k
        k=$(grep -n O_TMPFILE "$work/trace" | head -1 | cut -d: -f1)
        [ -n "$k" ] || { echo "no O_TMPFILE open seen" >&2; return 1; }
        echo "-e inject=openat:error=EOPNOTSUPP:when=$k"
    fi
}

report_failure() {
    echo "FAULT: $*"
}

traced=$(printf '%s\n' "${faults[@]}" | cut -d' ' -f1 | tr '\n' , | sed 's/,$//')

for scenario in plain named hardlink; do
    extra=$(scenario_options $scenario) || exit 1
    # Number the calls in a clean run; the save begins where the word file is opened, and
    # only calls from there on are failed (the loader's own are of no interest).
    setup $scenario
    # shellcheck disable=SC2086
    strace -f -qq -o "$work/trace" -e trace="$traced" $extra "$helper" "$game/len7.txt" new
    for fault in "${faults[@]}"; do
        read -r calls err <<<"$fault"
        # The named scenario injects into openat already; strace takes one rule per call.
        [ $scenario = named ] && [[ $calls == openat ]] && continue
        read -r first count < <(awk -v names=",$calls," -v marker="$game/len7.txt" '
            { call = $2; sub(/\(.*/, "", call) }
            index(names, "," call ",") { n++; if (started && !first) first = n }
            index($0, marker) && !started { started = 1; if (index(names, ",openat,")) first = n }
            END { print (first ? first : n + 1), n + 0 }' "$work/trace")
        echo "$scenario: $calls=$err at calls $first..$count"
        for ((n = first; n <= count; n++)); do
            setup $scenario
            # shellcheck disable=SC2086
            strace -f -qq -o /dev/null -e trace="$calls" -e inject="$calls:error=$err:when=$n" \
                $extra "$helper" "$game/len7.txt" new 2>"$work/stderr"
            rc=$?
            total=$((total + 1))
            what="$scenario: $calls=$err at call $n (exit $rc: $(head -c 80 "$work/stderr"))"
            if cmp -s "$game/len7.txt" "$work/ref/new"; then
                state=new
            elif cmp -s "$game/len7.txt" "$work/ref/old"; then
                state=old
            else
                state=corrupt
            fi
            if [ $scenario = hardlink ] && ! cmp -s "$game/len7.txt" "$game/other.txt"; then
                state=corrupt
            fi
            entries=$(ls -A "$game" | tr '\n' ' ' | sed 's/ $//')
            bad=0
            if [ $state = corrupt ]; then
                corrupt=$((corrupt + 1)) bad=1
                report_failure "file neither old nor new: $what"
            elif [ $rc -eq 0 ] && [ $state != new ]; then
                false_successes=$((false_successes + 1)) bad=1
                report_failure "success reported, old file: $what"
            fi
            if [ "$entries" != "$expected" ]; then
                leftovers=$((leftovers + 1)) bad=1
                report_failure "left in the directory: [$entries]: $what"
            fi
            [ $bad = 0 ] && good=$((good + 1))
        done
    done
done

echo "$good of $total injected faults left the old or the new file;" \
    "$false_successes false successes; $leftovers leftovers"
[ $good -eq $total ] && [ $total -gt 0 ]
