#!/usr/bin/env bash
# Static analysis of the project's own code: clang-tidy with the checks of .clang-tidy, then
# cppcheck. Any finding of either fails the run. By default it covers params, app and fuzz;
# name more of the project's folders as arguments (tests, bench) to cover them too.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

scripts/install-deps.sh clang clang-tidy cppcheck python3 libclang-rt-14-dev
folders=(params app fuzz "$@")

# The compile commands of the ordinary build, and of the fuzz build for fuzz/, which only
# clang compiles; generated moc sources and third-party code are left out.
build=build/analyse
cmake --preset ci -B "$build" -DDBP_BUILD_BENCH=ON >/dev/null
cmake --preset fuzz >/dev/null
mkdir -p "$build/own"
python3 - "$root" "$build/compile_commands.json" build/fuzz/compile_commands.json "$build/own/compile_commands.json" \
    "${folders[@]}" <<'PY'
import json, os, sys
root, ordinary, fuzz, out, *folders = sys.argv[1:]
def own(entries, wanted):
    for entry in entries:
        path = os.path.relpath(entry["file"], root)
        top = path.split(os.sep)[0]
        if top in folders and (top == "fuzz") == wanted:
            yield entry
entries = list(own(json.load(open(ordinary)), False)) + list(own(json.load(open(fuzz)), True))
json.dump(entries, open(out, "w"), indent=1)
print(f"{len(entries)} source files in {', '.join(folders)}")
PY

status=0
echo "== clang-tidy"
run-clang-tidy -quiet -j "$(nproc)" -p "$build/own" >"$build/clang-tidy.log" 2>&1 || status=1
grep -v -e '^[0-9]* warnings generated\.$' -e '^clang-tidy-[0-9]* ' "$build/clang-tidy.log" || true

echo "== cppcheck"
# useStlAlgorithm is left out: it asks for std::transform or std::any_of in place of every
# short loop, which is taste, not a fault. readdirCalled asks for readdir_r, which glibc has
# deprecated; readdir on a stream the caller alone holds is safe.
cppcheck --project="$build/own/compile_commands.json" --std=c++20 --library=posix,qt,googletest -j "$(nproc)" --quiet \
    --enable=warning,style,performance,portability --inline-suppr --error-exitcode=1 \
    --suppress=missingIncludeSystem --suppress=useStlAlgorithm --suppress=readdirCalled:params/FileSystemPosix.cpp \
    --suppress=readdirCalled:tests/conditions/ProcessUsage.cpp \
    --template='{file}:{line}:{column}: {severity}: {message} [{id}]' || status=1

[ "$status" -eq 0 ] && echo "No findings."
exit "$status"
