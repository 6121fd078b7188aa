# The installation's facts (contract/installation_facts.txt) for shell scripts: `fact NAME`
# prints one value, a value made of references with each replaced by what it stands for; it
# fails for a name that the table does not have. `fact_folder NAME` prints a folder's name
# without its backslash.
facts_table=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)/contract/installation_facts.txt

fact() {  # NAME
  awk -v wanted="$1" '
    # The value, or, when each word or pair half names a fact, those facts resolved in turn.
    function resolved(value,    words, count, i, half, halves, j, out) {
      count = split(value, words, " ")
      for (i = 1; i <= count; i++) {
        halves = split(words[i], half, ":")
        if (halves > 2) return value
        for (j = 1; j <= halves; j++) {
          if (!(half[j] in facts)) return value
          half[j] = resolved(facts[half[j]])
        }
        out = out (i > 1 ? " " : "") half[1] (halves == 2 ? ":" half[2] : "")
      }
      return out
    }
    /^[A-Za-z]/ { value = $0; sub(/^[^ \t]+[ \t]+/, "", value); sub(/[ \t\r]+$/, "", value); facts[$1] = value }
    END { if (!(wanted in facts)) exit 1; print resolved(facts[wanted]) }' "$facts_table" ||
    { echo "no fact $1 in $facts_table" >&2; return 1; }
}

fact_folder() { local name; name=$(fact "$1") && echo "${name%\\}"; }  # a folder's name, no backslash
