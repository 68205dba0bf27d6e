#!/usr/bin/env bash
# The range image (Codec = small) side by side with `xz -9` on the corpus tar
# and with the peer installers built from the same files: sizes (as % of the
# files' bytes), coding time against xz -9 (wall time: ours codes on two
# threads), and expansion on the host against `xz -d` of the same tar.
# bench/run.sh runs it after the token-image figures; it also runs alone.
# Building the peers runs no Windows program (makensis and wixl are native).
#
# Usage: bash bench/codec.sh [OUTDIR]        (default build/bench)
# Results are also saved as OUTDIR/codec-results.txt.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
out=$(realpath -m "${1:-build/bench}")
# shellcheck source=corpus.sh
source bench/corpus.sh
peers=$(dirname "$corpus_script")
mkdir -p "$out"
tar=$out/corpus.tar
make_corpus_once "$out" "$tar"
files_bytes=$(find "$out/corpus" -type f -printf '%s\n' | awk '{s += $1} END {print s}')

install_missing_packages nsis wixl msitools xz-utils bc

echo "building (host Release; build/dist for qpack and the stub)" >&2
cmake -S . -B "$out/host" -DCMAKE_BUILD_TYPE=Release >"$out/host.configure.log"
cmake --build "$out/host" -j2 --target range_speed >"$out/host.build.log"
if [ ! -x build/dist/qpack ] || [ ! -f build/dist/quillpack.exe ]; then
  echo "building build/dist" >&2
  bash scripts/build.sh >"$out/build.log" 2>&1 || { tail -n 20 "$out/build.log" >&2; exit 1; }
fi

wall() {  # wall SECONDS-VAR command...: runs it with stdout to /dev/null
  local var=$1 start end
  shift
  start=$(date +%s.%N)
  "$@" >/dev/null
  end=$(date +%s.%N)
  printf -v "$var" '%.3f' "$(echo "$end - $start" | bc)"
}

echo "peers: makensis zlib and lzma, wixl" >&2
mkdir -p "$out/nsis"
ln -sfn ../corpus "$out/nsis/corpus"
cp "$peers/peer-nsis.nsi" "$out/nsis/"
declare -A peer_size peer_time
for comp in zlib lzma; do
  wall "peer_time[$comp]" bash -c "cd '$out/nsis' && makensis -V1 -DCOMP=$comp -DOUT=../peer-nsis-$comp.exe peer-nsis.nsi"
  peer_size[$comp]=$(stat -c %s "$out/peer-nsis-$comp.exe")
done
wall "peer_time[msi]" bash "$peers/make_peer_msi.sh" "$out/corpus" "$out/peer.msi"
peer_size[msi]=$(stat -c %s "$out/peer.msi")

echo "xz -9, one thread" >&2
wall xz_time xz -9 -T1 -k -c "$tar"
xz -9 -T1 -c "$tar" >"$out/corpus.tar.xz"
xz_size=$(stat -c %s "$out/corpus.tar.xz")
xz_expand=1000000
for _ in 1 2 3 4 5; do
  wall t xz -d -T1 -c "$out/corpus.tar.xz"
  xz_expand=$(echo "if ($t < $xz_expand) $t else $xz_expand" | bc)
done

echo "ours: range image of the tar, and an installer of the corpus with Codec = small" >&2
declare -A ours
while read -r key value; do ours[$key]=$value; done < <("$out/host/bench/range_speed" "$tar" "$out/corpus.qr")
write_corpus_project "$out/codec-small.qpp" corpus small
wall small_build build/dist/qpack build "$out/codec-small.qpp" -o "$out/Setup-codec-small.exe" --quiet
small_size=$(stat -c %s "$out/Setup-codec-small.exe")

pct() { echo "scale=4; 100 * $1 / $files_bytes" | bc | awk '{printf "%.2f", $1}'; }
ratio() { echo "scale=4; $1 / $2" | bc | awk '{printf "%.3f", $1}'; }
{
  echo "== $(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
  echo "corpus: $(find "$out/corpus" -type f | wc -l) files, $files_bytes bytes; tar $(stat -c %s "$tar") bytes"
  echo
  echo "size | bytes | % of the files | / xz -9 | build or coding time s (wall)"
  echo "ours, range image of the tar | ${ours[range_size]} | $(pct "${ours[range_size]}") | $(ratio "${ours[range_size]}" "$xz_size") | ${ours[range_code_seconds]}"
  echo "ours, installer with Codec = small | $small_size | $(pct "$small_size") | $(ratio "$small_size" "$xz_size") | $small_build"
  echo "xz -9 of the tar (one thread) | $xz_size | $(pct "$xz_size") | 1.000 | $xz_time"
  echo "NSIS peer, lzma (solid) | ${peer_size[lzma]} | $(pct "${peer_size[lzma]}") | $(ratio "${peer_size[lzma]}" "$xz_size") | ${peer_time[lzma]}"
  echo "NSIS peer, zlib | ${peer_size[zlib]} | $(pct "${peer_size[zlib]}") | $(ratio "${peer_size[zlib]}" "$xz_size") | ${peer_time[zlib]}"
  echo "MSI (wixl, MSZIP) | ${peer_size[msi]} | $(pct "${peer_size[msi]}") | $(ratio "${peer_size[msi]}" "$xz_size") | ${peer_time[msi]}"
  echo
  echo "expansion of the tar's bytes on the host | s (best of 5, wall) | xz -d / this"
  echo "xz -d (one thread) | $xz_expand | 1.00"
  echo "ours, one thread | ${ours[range_expand_one_thread]} | $(ratio "$xz_expand" "${ours[range_expand_one_thread]}")"
  echo "ours, a thread per segment (${ours[range_segments]}), as the program expands | ${ours[range_expand_per_segment]} | $(ratio "$xz_expand" "${ours[range_expand_per_segment]}")"
  echo
  met() { if [ "$(echo "$1" | bc)" = 1 ]; then echo met; else echo "NOT met"; fi; }
  echo "goals: installer <= NSIS lzma peer: $(met "$small_size <= ${peer_size[lzma]}");" \
       "range image <= xz -9 (stretch): $(met "${ours[range_size]} <= $xz_size");" \
       "expansion >= 2 x xz -d: $(met "$xz_expand >= 2 * ${ours[range_expand_per_segment]}");" \
       "coding time <= xz -9: $(met "${ours[range_code_seconds]} <= $xz_time")"
} | tee "$out/codec-results.txt"
