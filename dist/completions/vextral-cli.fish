# fish completion for vextral-cli. The value lists are the program's own;
# tests/cli/CompletionListsTest.cpp checks that they stay equal to what
# vextral-cli accepts.

set -l __vextral_commands icons harvest convert web help
set -l __vextral_harvest_types standard-icon bmp jpg gif ico cur pcx wmf png tga each-image
set -l __vextral_file_types exe dll cpl scr icl ocx ico nil bmp res icns cur ani all
set -l __vextral_convert_to bmp jpg jpeg gif pcx tga png tif tiff ico cur wmf
set -l __vextral_convert_from png cut pcd pbm pgm ppm pdd psd bw rgb rgba sgi rla rpf scr pcc pcx fax tif tiff icb tga vda vst win bmp dib rle jpeg jpg jpe jfif eps gif ico emf wmf
set -l __vextral_web_types gif bmp jpg

# The comma-separated list of --types with its last item completed.
function __vextral_cli_types
    set -l token (commandline -ct | string replace -r -- '^--types=' '')
    set -l done (string match -r -- '^.*,' $token)
    for t in $argv
        echo "$done$t"
    end
end

complete -c vextral-cli -f
complete -c vextral-cli -n "not __fish_seen_subcommand_from $__vextral_commands" -a icons -d 'list (and extract) the icons of files'
complete -c vextral-cli -n "not __fish_seen_subcommand_from $__vextral_commands" -a harvest -d 'harvest files and folders, save every icon'
complete -c vextral-cli -n "not __fish_seen_subcommand_from $__vextral_commands" -a convert -d 'convert pictures into another format'
complete -c vextral-cli -n "not __fish_seen_subcommand_from $__vextral_commands" -a web -d 'write a web gallery of the icons'
complete -c vextral-cli -n "not __fish_seen_subcommand_from $__vextral_commands" -a help -d 'show help'
complete -c vextral-cli -l help -d 'show the help'
complete -c vextral-cli -l version -d 'show the version'
complete -c vextral-cli -n "__fish_seen_subcommand_from help" -a "$__vextral_commands"

# icons
set -l c "__fish_seen_subcommand_from icons"
complete -c vextral-cli -n $c -F
complete -c vextral-cli -n $c -l extract -x -a '(__fish_complete_directories)' -d 'write each icon as stored into a folder'
complete -c vextral-cli -n $c -l images -x -a '(__fish_complete_directories)' -d 'write each image as a PNG into a folder'
complete -c vextral-cli -n $c -l cursors -d 'also list the cursors'
complete -c vextral-cli -n $c -l json -d 'print one JSON object a line for each file'

# harvest
set c "__fish_seen_subcommand_from harvest"
complete -c vextral-cli -n $c -F
complete -c vextral-cli -n $c -l settings -r -F -d 'read this settings file'
complete -c vextral-cli -n $c -l types -x -a "(__vextral_cli_types $__vextral_file_types)" -d 'file types to search for'
complete -c vextral-cli -n $c -l no-subfolders -d 'search only the named folders'
complete -c vextral-cli -n $c -l recycle -d 'also harvest files in recycle bins'
complete -c vextral-cli -n $c -l unique -d 'hide duplicates'
complete -c vextral-cli -n $c -l cursors -d 'also harvest cursors'
complete -c vextral-cli -n $c -l icon-limit -x -d 'stop once N icons are harvested'
complete -c vextral-cli -n $c -l file-limit -x -d 'extract from the first N files found'
complete -c vextral-cli -n $c -l save-all -x -a '(__fish_complete_directories)' -d 'save every icon into a folder'
complete -c vextral-cli -n $c -l type -x -a "$__vextral_harvest_types" -d 'type of the saved files'
complete -c vextral-cli -n $c -l transparent -d 'keep the transparency of each icon'
complete -c vextral-cli -n $c -l size -x -d 'picture size, WIDTHxHEIGHT'
complete -c vextral-cli -n $c -l classic -d 'stretch the 32 x 32 picture'
complete -c vextral-cli -n $c -l naming -x -a 'filename number' -d 'file names of the saved icons'

# convert
set c "__fish_seen_subcommand_from convert"
complete -c vextral-cli -n $c -F
complete -c vextral-cli -n $c -l to -r -F -a "$__vextral_convert_to" -d 'output format or output file'
complete -c vextral-cli -n $c -l out -x -a '(__fish_complete_directories)' -d 'folder of the outputs'
complete -c vextral-cli -n $c -l quality -x -d 'JPEG quality from 0 to 100'
complete -c vextral-cli -n $c -l from -x -a "$__vextral_convert_from" -d 'format of standard input'

# web
set c "__fish_seen_subcommand_from web"
complete -c vextral-cli -n $c -F
complete -c vextral-cli -n $c -l out -x -a '(__fish_complete_directories)' -d 'folder of the gallery'
complete -c vextral-cli -n $c -l title -x -d 'title of the page'
complete -c vextral-cli -n $c -l border -x -d 'border width of the table'
complete -c vextral-cli -n $c -l columns -x -d 'pictures in a row'
complete -c vextral-cli -n $c -l type -x -a "$__vextral_web_types" -d 'type of the pictures'
complete -c vextral-cli -n $c -l size -x -d 'size of the pictures, WIDTHxHEIGHT'
complete -c vextral-cli -n $c -l classic -d 'stretch the 32 x 32 picture'
complete -c vextral-cli -n $c -l unique -d 'hide duplicates'
complete -c vextral-cli -n $c -l from -x -d 'first position'
complete -c vextral-cli -n $c -l to -x -d 'last position'
complete -c vextral-cli -n $c -l settings -r -F -d 'read this settings file'
