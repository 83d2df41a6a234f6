# bash completion for vextral-cli                               -*- shell-script -*-
#
# Works in plain bash (no bash-completion package needed). The value lists
# below are the program's own; tests/cli/CompletionListsTest.cpp checks
# that they stay equal to what vextral-cli accepts.

_vextral_cli_commands="icons harvest convert web help"
_vextral_cli_opts_icons="--extract --images --cursors --json --version --help"
_vextral_cli_opts_harvest="--settings --types --no-subfolders --recycle --unique --cursors --icon-limit --file-limit --save-all --type --transparent --size --classic --naming --version --help"
_vextral_cli_opts_convert="--to --out --quality --from --version --help"
_vextral_cli_opts_web="--out --title --border --columns --type --size --classic --unique --from --to --settings --version --help"
_vextral_cli_harvest_types="standard-icon bmp jpg gif ico cur pcx wmf png tga each-image"
_vextral_cli_file_types="exe dll cpl scr icl ocx ico nil bmp res icns cur ani all"
_vextral_cli_convert_to="bmp jpg jpeg gif pcx tga png tif tiff ico cur wmf"
_vextral_cli_convert_from="png cut pcd pbm pgm ppm pdd psd bw rgb rgba sgi rla rpf scr pcc pcx fax tif tiff icb tga vda vst win bmp dib rle jpeg jpg jpe jfif eps gif ico emf wmf"
_vextral_cli_web_types="gif bmp jpg"
_vextral_cli_naming="filename number"

# COMPREPLY from the words of $1 that begin with $2.
_vextral_cli_words()
{
    local IFS=$' \t\n'
    COMPREPLY=($(compgen -W "$1" -- "$2"))
}

# File (or, with -d, folder) names that begin with $2.
_vextral_cli_paths()
{
    local IFS=$'\n'
    compopt -o filenames 2>/dev/null
    COMPREPLY=($(compgen "$1" -- "$2"))
}

_vextral_cli()
{
    local cur=${COMP_WORDS[COMP_CWORD]} prev="" cword=$COMP_CWORD
    ((cword > 0)) && prev=${COMP_WORDS[cword - 1]}
    # "--type=pn": bash splits the word at "=" (COMP_WORDBREAKS).
    if [[ $cur == "=" && $prev == --* ]]; then
        cur=""
    elif [[ $prev == "=" ]] && ((cword > 1)); then
        prev=${COMP_WORDS[cword - 2]}
    else
        [[ $cur == --*=* ]] && { prev=${cur%%=*}; cur=${cur#*=}; }
    fi
    COMPREPLY=()

    if ((COMP_CWORD == 1)); then
        _vextral_cli_words "$_vextral_cli_commands --help --version" "$cur"
        return 0
    fi
    local command=${COMP_WORDS[1]}

    case "$command:$prev" in
    *:--extract | *:--images | *:--save-all | *:--out)
        _vextral_cli_paths -d "$cur"
        return 0
        ;;
    *:--settings)
        _vextral_cli_paths -f "$cur"
        return 0
        ;;
    harvest:--type)
        _vextral_cli_words "$_vextral_cli_harvest_types" "$cur"
        return 0
        ;;
    web:--type)
        _vextral_cli_words "$_vextral_cli_web_types" "$cur"
        return 0
        ;;
    harvest:--types)
        # A comma-separated list: the last item is completed.
        local done="" item=$cur
        [[ $cur == *,* ]] && { done=${cur%,*},; item=${cur##*,}; }
        local IFS=$' \t\n' t
        for t in $(compgen -W "$_vextral_cli_file_types" -- "$item"); do COMPREPLY+=("$done$t"); done
        compopt -o nospace 2>/dev/null
        return 0
        ;;
    harvest:--naming)
        _vextral_cli_words "$_vextral_cli_naming" "$cur"
        return 0
        ;;
    convert:--to)
        _vextral_cli_words "$_vextral_cli_convert_to" "$cur"
        ((${#COMPREPLY[@]} == 0)) && _vextral_cli_paths -f "$cur"
        return 0
        ;;
    convert:--from)
        _vextral_cli_words "$_vextral_cli_convert_from" "$cur"
        return 0
        ;;
    *:--icon-limit | *:--file-limit | *:--size | *:--quality | *:--title | *:--border | *:--columns | web:--from | web:--to)
        return 0 # a value of the user's own
        ;;
    esac

    local options
    case "$command" in
    icons) options=$_vextral_cli_opts_icons ;;
    harvest) options=$_vextral_cli_opts_harvest ;;
    convert) options=$_vextral_cli_opts_convert ;;
    web) options=$_vextral_cli_opts_web ;;
    help)
        ((COMP_CWORD == 2)) && _vextral_cli_words "$_vextral_cli_commands" "$cur"
        return 0
        ;;
    *) return 0 ;;
    esac
    if [[ $cur == -* ]]; then
        _vextral_cli_words "$options" "$cur"
    else
        _vextral_cli_paths -f "$cur"
    fi
    return 0
}

complete -F _vextral_cli vextral-cli
