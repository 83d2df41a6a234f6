#!/usr/bin/env bash
# The shell completions of vextral-cli as the shells load and use them:
# bash without the bash-completion package (its function driven through
# COMP_WORDS and COMP_CWORD), zsh (syntax, the function autoloaded by
# compinit, and completions typed into an interactive zsh through zpty) and
# fish (asked with complete -C).
# Usage: completion_test.sh SOURCE_DIR
set -u
dir="$1/dist/completions"
here=$(cd "$(dirname "$0")" && pwd)
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# Runs the bash completion for the words given (the last one completed) and
# prints COMPREPLY, one a line, sorted.
bash_offers() {
  bash --norc --noprofile -c '
    source "$1" || exit 1
    shift
    COMP_WORDS=("$@")
    COMP_CWORD=$(($# - 1))
    _vextral_cli
    printf "%s\n" "${COMPREPLY[@]}"' bash "$dir/vextral-cli.bash" "$@" | sort
}

expect() {
  local what=$1 want=$2 got=$3
  [ "$got" = "$want" ] || fail "$what: wanted [$want], got [$got]"
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
touch app.exe icons.dll 'with space.ico'
mkdir folder

# bash
expect "bash registers the function" "complete -F _vextral_cli vextral-cli" \
  "$(bash --norc --noprofile -c "source '$dir/vextral-cli.bash' && complete -p vextral-cli")"
expect "command names" "$(printf '%s\n' --help --version convert harvest help icons web)" "$(bash_offers vextral-cli '')"
expect "command names from a prefix" "harvest
help" "$(bash_offers vextral-cli h)"
expect "options of icons" "$(printf '%s\n' --cursors --extract --help --images --json --version)" \
  "$(bash_offers vextral-cli icons --)"
expect "values of --type" "$(printf '%s\n' pcx png)" "$(bash_offers vextral-cli harvest --type p)"
expect "values of --type=" "$(printf '%s\n' pcx png)" "$(bash_offers vextral-cli harvest --type = p)"
expect "values of web --type" "$(printf '%s\n' bmp gif jpg)" "$(bash_offers vextral-cli web --type '')"
expect "the last item of --types" "exe,dll" "$(bash_offers vextral-cli harvest --types exe,d)"
expect "file names after icons" "$(compgen -f | sort)" "$(bash_offers vextral-cli icons '')"
expect "file names from a prefix" "icons.dll" "$(bash_offers vextral-cli icons ic)"
expect "folders after --extract" "folder" "$(bash_offers vextral-cli icons --extract '')"
expect "formats of convert --to" "$(printf '%s\n' tga tif tiff)" "$(bash_offers vextral-cli convert --to t | sort)"

# zsh
if command -v zsh >/dev/null; then
  zsh -n "$dir/_vextral-cli" || fail "zsh -n"
  got=$(zsh -f -c "fpath=('$dir' \$fpath); autoload -Uz compinit && compinit -u -D -d '$work/zcompdump' &&
        print -r -- \$_comps[vextral-cli] && autoload -Uz +X _vextral-cli && whence -w _vextral-cli" 2>&1)
  expect "zsh autoloads the completion" "_vextral-cli
_vextral-cli: function" "$got"
  zsh_offers() { zsh -f "$here/zsh_offers.zsh" "$dir" "$(mktemp -u "$work/zsh-offers-XXXXXX")" "$1"; }
  expect "zsh command names" "icons" "$(zsh_offers 'vextral-cli ic')"
  expect "zsh options of icons" "$(printf '%s\n' --cursors --extract --help --images --json --version)" \
    "$(zsh_offers 'vextral-cli icons --')"
  expect "zsh values of --type" "$(printf '%s\n' pcx png)" "$(zsh_offers 'vextral-cli harvest --type p')"
  expect "zsh the last item of --types" "dll" "$(zsh_offers 'vextral-cli harvest --types exe,d')"
  expect "zsh file names after icons" "icons.dll" "$(zsh_offers 'vextral-cli icons ic')"
else
  fail "zsh is not installed"
fi

# fish
if command -v fish >/dev/null; then
  fish_offers() { fish --no-config -c "source '$dir/vextral-cli.fish'; complete -C '$1'" | cut -f1 | sort; }
  expect "fish command names" "icons" "$(fish_offers 'vextral-cli ic')"
  expect "fish options of icons" "$(printf '%s\n' --cursors --extract --help --images --json --version)" \
    "$(fish_offers 'vextral-cli icons --')"
  expect "fish values of --type" "$(printf '%s\n' pcx png)" "$(fish_offers 'vextral-cli harvest --type p')"
  expect "fish file names after icons" "icons.dll" "$(fish_offers 'vextral-cli icons ic')"
else
  fail "fish is not installed"
fi

[ "$failures" -eq 0 ] && echo "all completion checks passed"
exit $((failures > 0))
