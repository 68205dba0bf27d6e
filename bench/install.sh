#!/usr/bin/env bash
# Times silent installs of the shared corpus under Wine, each installer in a
# fresh prefix made from one template: ours at the default level, an MSI of
# the same files (wixl, installed with msiexec /qn), the NSIS peer with zlib
# and with lzma where this machine runs 32-bit programs (its installers are
# 32-bit), and a plain `xcopy /e` of the uncompressed files as the floor.
# Also prints the installers' sizes, our stub's size and the installers' peak
# working sets for the full corpus and for its first files up to half the bytes.
# Not part of the test command: a run takes several minutes.
#
# Usage: bash bench/install.sh [OUTDIR]        (default build/bench-install)
# Environment: QP_BENCH_RUNS (runs per installer, default 3),
#   QP_BENCH_CORPUS_SCRIPT (default ../shared/bench/make_corpus.sh from the
#   project root), QP_WINE_ARCH (32 or 64; default: what this machine runs),
#   QP_BENCH_REBUILD=1 (run scripts/build.sh even when build/dist exists).
# Installs nsis, wixl and msitools when missing (the peers need them; the
# project itself does not). Everything it builds and writes stays under
# OUTDIR; the results are also saved as OUTDIR/install-results.txt.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
out=$(realpath -m "${1:-build/bench-install}")
runs=${QP_BENCH_RUNS:-3}
# shellcheck source=corpus.sh
source bench/corpus.sh
peers=$(dirname "$corpus_script")
read -r arch reason < <(bash scripts/wine/arch.sh)
if [ "$arch" = 32 ]; then qp_arch=x86 stub=quillpack.exe; else qp_arch=x64 stub=quillpack64.exe; fi
echo "wine$arch: $reason" >&2
mkdir -p "$out"

# The peers' build tools, only for this benchmark.
install_missing_packages nsis wixl msitools

make_corpus_once "$out" "$out/corpus.sha256"
for f in make_peer_msi.sh peer-msi.wxs peer-nsis.nsi; do
  if [ ! -f "$peers/$f" ]; then
    echo "bench: no $f beside the corpus script in $peers" >&2
    exit 1
  fi
done

# The half corpus: the first files by path up to half the corpus's bytes,
# for how the peak working set grows with the payload. (Half the files would
# not do: the two largest DLLs come first and hold a third of the bytes.)
if [ ! -d "$out/half/corpus" ]; then
  rm -rf "$out/half.tmp"; mkdir -p "$out/half.tmp"
  (cd "$out" && LC_ALL=C find corpus -type f -printf '%s %p\n' | LC_ALL=C sort -k2 \
     | awk '{size[NR] = $1; sub(/^[0-9]+ /, ""); name[NR] = $0; total += size[NR]}
            END {for (i = 1; i <= NR && sum + size[i] <= total / 2; i++) {sum += size[i]; printf "%s%c", name[i], 0}}' \
     | xargs -0 cp --parents -t half.tmp)
  mv "$out/half.tmp" "$out/half"
fi

if [ "${QP_BENCH_REBUILD:-0}" = 1 ] || [ ! -x build/dist/qpack ] || [ ! -f "build/dist/$stub" ]; then
  echo "building build/dist" >&2
  bash scripts/build.sh >"$out/build.log" 2>&1 || { tail -n 20 "$out/build.log" >&2; exit 1; }
fi
ln -sfn "$root/build/dist/$stub" "$out/stub.exe"

# Ours at the default level, and once more with Codec = small.
write_corpus_project "$out/ours.qpp" corpus
write_corpus_project "$out/ours-half.qpp" 'half\corpus'
write_corpus_project "$out/ours-small.qpp" corpus small
echo "building the installers (qpack --arch $qp_arch, wixl, makensis)" >&2
build/dist/qpack build "$out/ours.qpp" -o "$out/Setup-ours.exe" --arch "$qp_arch" >&2
build/dist/qpack build "$out/ours-half.qpp" -o "$out/Setup-ours-half.exe" --arch "$qp_arch" >&2
build/dist/qpack build "$out/ours-small.qpp" -o "$out/Setup-ours-small.exe" --arch "$qp_arch" >&2
[ -f "$out/peer.msi" ] || bash "$peers/make_peer_msi.sh" "$out/corpus" "$out/peer.msi" >&2
if [ "$arch" = 32 ]; then
  mkdir -p "$out/nsis"
  ln -sfn ../corpus "$out/nsis/corpus"
  cp "$peers/peer-nsis.nsi" "$out/nsis/"
  for comp in zlib lzma; do
    [ -f "$out/peer-nsis-$comp.exe" ] ||
      (cd "$out/nsis" && makensis -V2 -DCOMP=$comp "-DOUT=../peer-nsis-$comp.exe" peer-nsis.nsi >&2)
    [ -f "$out/peer-nsis-$comp-empty.exe" ] ||
      (cd "$out/nsis" && makensis -V2 -DCOMP=$comp -DEMPTY "-DOUT=../peer-nsis-$comp-empty.exe" peer-nsis.nsi >&2)
  done
else
  echo "bench: no NSIS peer: its installers are 32-bit and this run's Wine is 64-bit" >&2
fi

template=$out/wine/template$arch
if [ ! -f "$template/.qp-arch" ]; then
  bash scripts/wine/make-template.sh "$template" "$arch" >&2
fi
QP_WINE_ARCH=$arch QP_WINE_TEMPLATE=$template \
  python3 bench/install_bench.py "$out" "$runs" | tee "$out/install-results.txt"
