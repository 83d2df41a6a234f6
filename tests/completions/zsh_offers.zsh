# zsh -f zsh_offers.zsh DIR OUT LINE
# Types LINE and a Tab into an interactive zsh (in a pseudo-terminal) that
# has the completions of DIR, and prints, sorted, every match the completion
# functions added; OUT is a scratch file name.
dir=$1 out=$2 line=$3
zmodload zsh/zpty || exit 1
zpty z zsh -f -i
zpty -w z "PS1=''; fpath=('$dir' \$fpath); autoload -Uz compinit; compinit -u -D -d '$out.dump'"
# Every compadd that adds matches writes them to OUT; the completion's end is marked.
zpty -w z "compadd() { if [[ \${@[1,(i)(-|--)]} == *-(O|A|D)\\ * ]]; then builtin compadd \"\$@\"; return; fi; local -a hits; builtin compadd -A hits \"\$@\"; (( \$#hits )) && print -rl -- \$hits >> '$out'; builtin compadd \"\$@\"; }"
zpty -w z "comppostfuncs=( completion-done ); completion-done() { print -r -- DONE >> '$out'; }"
zpty -w -n z "$line"$'\t'
for i in {1..200}; do
  [[ -f $out ]] && grep -qx DONE $out && break
  sleep 0.05
done
zpty -d z
[[ -f $out ]] && grep -qx DONE $out || { print -u2 "no completion for: $line"; exit 1 }
grep -vx DONE $out | sort -u
