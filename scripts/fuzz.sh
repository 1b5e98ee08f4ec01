#!/usr/bin/env bash
# Builds the libFuzzer targets of tests/fuzz/ natively with clang, with
# AddressSanitizer and UndefinedBehaviorSanitizer (the code they cover is
# free of the Windows headers), and runs each one in turn.
#
#   scripts/fuzz.sh [seconds] [target...]
#
# seconds: run time per target, 60 unless given (a few seconds make a smoke
# run; CI uses 5). Targets are the file names without .cpp
# (InstallRequestFuzz, ...); all of them unless named.
#
# Everything goes under $FUZZ_OUT (build-fuzz/native unless set): the
# binaries, each target's working corpus corpus/<target>/, which starts from
# the seeds of tests/fuzz/corpus/<target>/ (copied in; new inputs are
# written only to the working corpus), and an input that crashes, leaks or
# breaks an invariant as artifacts/<target>/crash-* (or leak-*). The last
# lines give each target's executions from libFuzzer's final stats; they are
# also kept in summary.txt.
#
# Installs clang, the libFuzzer runtime and JsonCpp (Debian 12 packages)
# when they are missing; that needs root.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT"

seconds=${1:-60}
shift || true
case "$seconds" in
    '' | *[!0-9]*)
        echo "usage: $0 [seconds] [target...]" >&2
        exit 2
        ;;
esac

# The product sources each target covers, and what it links beyond them.
all_targets=(InstallRequestFuzz CmdLineParserFuzz Base64TextFuzz PathStringFuzz TextCaseFuzz)
declare -A sources=(
    [InstallRequestFuzz]="installer/request/RequestReader.cpp installer/request/RequestEnvelope.cpp
        installer/request/Base64Text.cpp installer/request/InstallRequest.cpp installer/request/JsonKinds.cpp
        installer/request/JsonAnsiText.cpp"
    [CmdLineParserFuzz]=launcher/CmdLineParser.cpp
    [Base64TextFuzz]=installer/request/Base64Text.cpp
    [PathStringFuzz]=base/PathString.cpp
    [TextCaseFuzz]=base/TextCase.cpp
)
declare -A libraries=(
    [InstallRequestFuzz]="-I/usr/include/jsoncpp -ljsoncpp"
)
# Debian's JsonCpp is built without frame pointers, so AddressSanitizer's
# fast unwinder records garbage past the direct caller of an allocation made
# there; every new garbage trace stays in its stack store and the run grows
# without bound (2 GB, libFuzzer's limit, after about 340,000 inputs). The
# allocator and its direct caller, the two frames kept here, are exact.
declare -A asan_options=(
    [InstallRequestFuzz]=malloc_context_size=2
)
if [ $# -gt 0 ]; then
    targets=("$@")
else
    targets=("${all_targets[@]}")
fi
for target in "${targets[@]}"; do
    if [ -z "${sources[$target]:-}" ]; then
        echo "unknown target: $target (known: ${all_targets[*]})" >&2
        exit 2
    fi
done

# clang 14 is Debian 12's clang; its libFuzzer and sanitizer runtimes come
# in libclang-rt-14-dev.
missing=()
for package in clang libclang-rt-14-dev libjsoncpp-dev; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'ok installed' ||
        missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
    if [ "$(id -u)" -ne 0 ]; then
        echo "missing packages: ${missing[*]} (run as root to install them)" >&2
        exit 1
    fi
    echo "== installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get install -y -q --no-install-recommends "${missing[@]}" >/dev/null ||
        { apt-get update -q >/dev/null &&
            apt-get install -y -q --no-install-recommends "${missing[@]}" >/dev/null; }
fi

out=${FUZZ_OUT:-"$ROOT/build-fuzz/native"}
mkdir -p "$out/bin"

# Builds one target unless its binary is newer than this script, the
# target, the product sources and every header they may include.
build() {
    local target=$1 binary="$out/bin/$1"
    # shellcheck disable=SC2206  # the source list splits on purpose
    local inputs=("tests/fuzz/$target.cpp" ${sources[$target]})
    if [ -x "$binary" ] &&
        [ -z "$(find "$ROOT/scripts/fuzz.sh" "${inputs[@]}" -newer "$binary" -print -quit)" ] &&
        [ -z "$(find base installer launcher tests/fuzz tests/support -name '*.h' \
            -newer "$binary" -print -quit)" ]; then
        return 0
    fi
    # shellcheck disable=SC2086  # the flags split on purpose
    clang++ -std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -I"$ROOT" \
        "${inputs[@]}" ${libraries[$target]:-} -o "$binary.tmp" 2>"$out/$target.build.log" &&
        mv "$binary.tmp" "$binary"
}

# Two builds at a time (the machines have two cores).
echo "== building ${targets[*]}"
declare -A builds=()
for target in "${targets[@]}"; do
    while [ "$(jobs -rp | wc -l)" -ge 2 ]; do
        wait -n || true
    done
    build "$target" &
    builds[$target]=$!
done
build_failed=()
for target in "${targets[@]}"; do
    wait "${builds[$target]}" || build_failed+=("$target")
done
if [ ${#build_failed[@]} -gt 0 ]; then
    for target in "${build_failed[@]}"; do
        echo "== $target: build failed" >&2
        cat "$out/$target.build.log" >&2
    done
    exit 1
fi

failed=()
summary=()
for target in "${targets[@]}"; do
    corpus="$out/corpus/$target"
    artifacts="$out/artifacts/$target"
    mkdir -p "$corpus" "$artifacts"
    # The seeds join the working corpus (in their current version; the
    # inputs libFuzzer adds are named by their hash and never collide).
    if [ -d "tests/fuzz/corpus/$target" ]; then
        cp "tests/fuzz/corpus/$target"/* "$corpus"/
    fi
    dict=()
    [ -f "tests/fuzz/$target.dict" ] && dict=(-dict="tests/fuzz/$target.dict")

    echo "== $target: running for ${seconds}s"
    # Undefined behaviour stops the run like a crash does; leaks are
    # reported at the end of each input that allocated more than it freed.
    asan="detect_leaks=1${asan_options[$target]:+:${asan_options[$target]}}"
    if ! ASAN_OPTIONS=$asan UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
        "$out/bin/$target" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="$artifacts/" "${dict[@]}" "$corpus" 2>"$out/$target.log"; then
        failed+=("$target")
    fi
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$out/$target.log")
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$out/$target.log")
    line=$(printf '%-20s %12s executions %8s/s  corpus %s files' "$target" "${runs:-?}" \
        "${rate:-?}" "$(find "$corpus" -type f | wc -l)")
    summary+=("$line")
    echo "$line"
    if [[ " ${failed[*]-} " == *" $target "* ]]; then
        echo "== $target: FAILED, see $out/$target.log and $artifacts/" >&2
        tail -n 30 "$out/$target.log" >&2
    fi
done

printf '%s\n' "${summary[@]}" | tee "$out/summary.txt" >/dev/null
if [ ${#failed[@]} -gt 0 ]; then
    echo "failing targets: ${failed[*]}" >&2
    exit 1
fi
echo "all targets ran clean"
