#!/usr/bin/env bash
# Builds the libFuzzer targets of tests/fuzz/ natively with clang (the code
# they cover is free of the Windows headers) and runs each one in turn.
#
#   scripts/fuzz.sh [seconds] [target...]
#
# seconds: run time per target, 60 unless given. Targets are the file names
# without .cpp (CmdLineParserFuzz, ...); all of them unless named. Corpora
# grow under build/fuzz/corpus/<target>/, and an input that crashes or
# breaks an invariant is kept as build/fuzz/artifacts/<target>/crash-*.
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

# The product source each target covers.
declare -A sources=(
    [CmdLineParserFuzz]=launcher/CmdLineParser.cpp
    [Base64TextFuzz]=installer/Base64Text.cpp
    [PathStringFuzz]=base/PathString.cpp
    [TextCaseFuzz]=base/TextCase.cpp
)
if [ $# -gt 0 ]; then
    targets=("$@")
else
    targets=(CmdLineParserFuzz Base64TextFuzz PathStringFuzz TextCaseFuzz)
fi

out="$ROOT/build/fuzz"
mkdir -p "$out/bin"

# A few starting inputs for an empty corpus. The wide-text targets read
# UTF-16LE; PathStringFuzz takes two paths separated by a NUL unit.
seed() {
    local target=$1 corpus=$2
    [ -z "$(ls -A "$corpus")" ] || return 0
    local utf16=(iconv -f UTF-8 -t UTF-16LE)
    case "$target" in
        CmdLineParserFuzz)
            printf '%s' 'x.exe -loadtype:rundll -dllPath:"C:\a b\lib.dll" -expFunc:doInst' |
                "${utf16[@]}" >"$corpus/seed-launch"
            printf '%s' '/k:"v -a:/b c" -K -x:a-b -y:' | "${utf16[@]}" >"$corpus/seed-switches"
            ;;
        PathStringFuzz)
            printf 'C:\\dir\\sub\\\\\0name' | "${utf16[@]}" >"$corpus/seed-drive"
            printf '\\\\server\\share/\0c:\\DIR' | "${utf16[@]}" >"$corpus/seed-unc"
            ;;
        Base64TextFuzz)
            printf '%s' 'eyJh\r\nIjox\r\nfQ==' >"$corpus/seed-wrapped"
            printf '%s' 'QQ==QkM=' >"$corpus/seed-groups"
            ;;
        TextCaseFuzz)
            printf 'AB\x81\x41\xfe\x5aCD\xb0\xa1\x80\x31Z' >"$corpus/seed-gbk"
            ;;
    esac
}

failed=()
for target in "${targets[@]}"; do
    source=${sources[$target]:-}
    if [ -z "$source" ]; then
        echo "unknown target: $target" >&2
        exit 2
    fi
    binary="$out/bin/$target"
    echo "== $target: building"
    clang++ -std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -I"$ROOT" \
        "tests/fuzz/$target.cpp" "$source" -o "$binary"

    corpus="$out/corpus/$target"
    artifacts="$out/artifacts/$target"
    mkdir -p "$corpus" "$artifacts"
    seed "$target" "$corpus"

    echo "== $target: running for ${seconds}s"
    # Undefined behaviour stops the run like a crash does.
    if ! UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 "$binary" \
        -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="$artifacts/" "$corpus" 2>"$out/$target.log"; then
        failed+=("$target")
    fi
    grep -E '^(stat::number_of_executed_units|stat::average_exec_per_sec|Done )' \
        "$out/$target.log" || true
    if [[ " ${failed[*]-} " == *" $target "* ]]; then
        echo "== $target: FAILED, see $out/$target.log and $artifacts/" >&2
        tail -n 30 "$out/$target.log" >&2
    fi
done

if [ ${#failed[@]} -gt 0 ]; then
    echo "failing targets: ${failed[*]}" >&2
    exit 1
fi
echo "all targets ran clean"
