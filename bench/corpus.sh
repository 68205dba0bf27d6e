# Sourced by the benchmark scripts (from the project root): where the shared
# corpus script is, and making the corpus in a folder once.
corpus_script=$(realpath -m "${QP_BENCH_CORPUS_SCRIPT:-../shared/bench/make_corpus.sh}")

# make_corpus_once OUTDIR MARKER: runs the corpus script into OUTDIR unless
# MARKER (a file it writes) is there already.
make_corpus_once() {
  [ -f "$2" ] && return 0
  if [ ! -f "$corpus_script" ]; then
    echo "bench: no corpus script at $corpus_script; set QP_BENCH_CORPUS_SCRIPT" >&2
    exit 1
  fi
  echo "making the corpus in $1" >&2
  bash "$corpus_script" "$1" >&2
}
