#!/usr/bin/env bash
# The release a user installs: builds both modules (the win32 and win64 presets are release
# builds), strips them, and writes dist/Vesper-<version>.zip holding Vesper.8bf (32-bit
# hosts), Vesper64.8bf (64-bit hosts) and INSTALL.txt. Refuses a module over 1 MiB or one
# that needs any DLL but the system's (src/entry/check_module.cmake).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
jobs=$(nproc)
max_bytes=1048576

cache_value() { sed -n "s/^$2:[A-Z]*=//p" "build/$1/CMakeCache.txt"; }

stage=dist/stage
rm -rf "$stage"
mkdir -p "$stage"
for p in win32 win64; do
  cmake --preset "$p" >/dev/null
  cmake --build --preset "$p" -j "$jobs" --target vesper_module >/dev/null
  module=$(ls "build/$p/plugins/"*.8bf)
  # Symbols and debug sections are of no use to a user and make up half the file.
  "$(cache_value "$p" CMAKE_STRIP)" -o "$stage/$(basename "$module")" "$module"
  cmake -DOBJDUMP="$(cache_value "$p" CMAKE_OBJDUMP)" -DMODULE="$stage/$(basename "$module")" \
        -DMAX_BYTES=$max_bytes -P src/entry/check_module.cmake >/dev/null
done
version=$(cache_value win32 CMAKE_PROJECT_VERSION)

# Windows users read the note in Notepad, so it has CRLF line ends.
sed 's/$/\r/' >"$stage/INSTALL.txt" <<EOF
Vesper $version: the "Transfer to Tarnwick Studio..." filter plug-in

WHAT IT DOES
The filter hands the image open in the image editor over to the Tarnwick Studio
icon editor. Run Filter > Tarnwick > Transfer to Tarnwick Studio... and it
writes two BMP files to the root of drive C:
    c:\\tarnwickstudiorgb_dovrane.bmp   the image
    c:\\tarnwickstudioa_dovrane.bmp     its selection, as a mask
then brings Tarnwick Studio to the front if it is running, or else starts it.
The image in the image editor is left as it was. The image editor must be
allowed to write to the root of drive C.

WHICH FILE
    Vesper.8bf     for a 32-bit image editor (32-bit host)
    Vesper64.8bf   for a 64-bit image editor (64-bit host)
Each file works on its own; it needs no other file.

INSTALLING
1. Close the image editor.
2. Copy the file for your editor into its plug-in folder, the Plug-ins folder
   in the editor's program folder (for example Plug-ins\\Filters).
3. Start the editor again. The filter appears under Filter > Tarnwick.

HOW TARNWICK STUDIO IS FOUND
If a window titled "Tarnwick Studio" is open, it is brought to the front and
nothing is started. Otherwise the filter takes the first version key under
    HKEY_LOCAL_MACHINE\\SOFTWARE\\Adobe\\Photoshop
(the first the registry lists, when several editor versions are installed),
and reads the string value "Tarnwick" of its PluginPath key:
    HKEY_LOCAL_MACHINE\\SOFTWARE\\Adobe\\Photoshop\\<version>\\PluginPath
Tarnwick Studio's installer writes that value: the folder that holds
TarnwickStudio.exe, ending with a backslash (for example
C:\\Program Files\\Tarnwick\\). The filter starts that folder's
TarnwickStudio.exe. A 32-bit image editor on 64-bit Windows reads these keys in
HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Adobe\\Photoshop.
If the key cannot be opened, the filter shows "The file path is error, please
reinstall the Tarnwick Studio plugin."; install Tarnwick Studio again.
EOF

zip_file=dist/Vesper-$version.zip
rm -f "$zip_file"
# -X: no Unix extra fields, -j: the three files at the top of the zip, -D: no folder entries.
(cd "$stage" && zip -q -X -D "../$(basename "$zip_file")" Vesper.8bf Vesper64.8bf INSTALL.txt)
rm -rf "$stage"
echo "package: $zip_file"
unzip -l "$zip_file" | sed -n '4,6p' | awk '{ printf "package:   %-14s %8d bytes\n", $4, $1 }'
