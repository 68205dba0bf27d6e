# shellcheck shell=bash
# Sourced by the benchmark scripts (from the project root): where the shared
# corpus script is, making the corpus in a folder once, the peers' tools and
# our project of the corpus.
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

# write_corpus_project FILE FOLDER [CODEC]: a project that installs FOLDER
# (relative to FILE's folder) recursively, at the default level with the
# payload compressed (or with the given Codec), automatic so nothing asks,
# and registered for removal like the peers so that its uninstaller can be timed.
write_corpus_project() {
  cat >"$1" <<EOF
; Made by bench/$(basename "$0").
[Product]
Name = Bench Corpus
DefaultDirectory = Bench\\Corpus
[Flags]
automatic = yes
register-product = yes
compressed-payload = yes
[Files]
$2\\* | recurse
EOF
  if [ -n "${3:-}" ]; then printf '[Build]\nCodec = %s\n' "$3" >>"$1"; fi
}

# install_missing_packages PACKAGE...: installs those Debian packages that are
# not installed yet (the peers' build tools; the project itself needs none).
install_missing_packages() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo_cmd=(); [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  echo "bench: installing ${missing[*]} for the peers" >&2
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}
