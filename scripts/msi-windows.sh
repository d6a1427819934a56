#!/usr/bin/env bash
# Makes the Windows installer of KX-52 with wixl (msitools) from a folder
# laid out as the program runs from it (kx52.exe at its top):
#   msi-windows.sh FOLDER VERSION OUT.msi
# The installer works for the current user only, so it needs no
# administrator rights: the files go into the user's programs folder
# (%LOCALAPPDATA%\Programs\KX-52), the Start menu gets the shortcut "KX-52",
# and the uninstall entry names the version and the maker. All versions share
# one upgrade code, so a later version replaces an earlier one. An uninstall
# removes the files, the folders and the shortcut, and leaves the program's
# settings (HKEY_CURRENT_USER\OrbKX52) alone.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
stage="$(realpath "$1")"
version="$2"
msi="$(realpath -m "$3")"
[ -f "$stage/kx52.exe" ] || { echo "msi-windows: no kx52.exe in $stage" >&2; exit 1; }

upgrade_code="6DBBB301-13A6-4B11-B5DE-27C0F650402C"
maker="Projekt KX-52"

# One component per folder. In a user's own folders a component's key path is
# a registry value of the user; these live under HKCU\Software\KX-52, never
# under the settings key.
components=()
ident() { printf '%s' "$1" | tr -c 'A-Za-z0-9_' '_'; }
folder() {
  local rel="$1" indent="$2" path id name file sub
  path="$stage${rel:+/$rel}"
  if [ -z "$rel" ]; then
    id="INSTALLDIR"
    name="KX-52"
  else
    id="D_$(ident "$rel")"
    name="$(basename "$rel")"
  fi
  echo "$indent<Directory Id=\"$id\" Name=\"$name\">"
  echo "$indent  <Component Id=\"C_$id\" Guid=\"*\">"
  echo "$indent    <RegistryValue Root=\"HKCU\" Key=\"Software\\KX-52\\Components\" Name=\"$id\" Type=\"integer\"" \
    "Value=\"1\" KeyPath=\"yes\"/>"
  echo "$indent    <RemoveFolder Id=\"R_$id\" On=\"uninstall\"/>"
  for file in "$path"/*; do
    [ -f "$file" ] || continue
    echo "$indent    <File Id=\"F_$(ident "${rel:+$rel/}$(basename "$file")")\" Source=\"files/${rel:+$rel/}$(basename "$file")\"/>"
  done
  echo "$indent  </Component>"
  components+=("C_$id")
  for sub in "$path"/*/; do
    [ -d "$sub" ] || continue
    folder "${rel:+$rel/}$(basename "$sub")" "$indent  "
  done
  echo "$indent</Directory>"
}

# wixl takes the sources relative to the .wxs file: a work folder with the
# files behind a link and the icon beside it.
wix="${msi%.msi}-wix"
rm -rf "$wix"
mkdir -p "$wix"
ln -s "$stage" "$wix/files"
cp "$root/resources/icons/kx52.ico" "$wix/"
wxs="$wix/kx52.wxs"
{
  cat <<EOF
<?xml version="1.0" encoding="utf-8"?>
<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">
  <Product Id="*" Name="KX-52" Language="1029" Codepage="1250" Version="$version" Manufacturer="$maker"
           UpgradeCode="$upgrade_code">
    <Package InstallerVersion="500" Compressed="yes" InstallScope="perUser"
             Description="KX-52, komunikace s ORBENA 52" Manufacturer="$maker" SummaryCodepage="1250"/>
    <MajorUpgrade/>
    <Media Id="1" Cabinet="kx52.cab" EmbedCab="yes"/>
    <Icon Id="kx52.ico" SourceFile="kx52.ico"/>
    <Property Id="ARPPRODUCTICON" Value="kx52.ico"/>
    <Directory Id="TARGETDIR" Name="SourceDir">
      <Directory Id="LocalAppDataFolder">
        <Directory Id="UserPrograms" Name="Programs">
EOF
  folder "" "          "
  cat <<EOF
        </Directory>
      </Directory>
      <Directory Id="ProgramMenuFolder">
        <Component Id="C_StartMenu" Guid="*">
          <Shortcut Id="StartMenuKX52" Name="KX-52" Description="komunikace s ORBENA 52"
                    Target="[INSTALLDIR]kx52.exe" WorkingDirectory="INSTALLDIR"/>
          <RegistryValue Root="HKCU" Key="Software\\KX-52\\Components" Name="StartMenu" Type="integer" Value="1"
                         KeyPath="yes"/>
        </Component>
      </Directory>
    </Directory>
    <Feature Id="KX52" Level="1">
EOF
  for c in "${components[@]}" C_StartMenu; do
    echo "      <ComponentRef Id=\"$c\"/>"
  done
  cat <<EOF
    </Feature>
  </Product>
</Wix>
EOF
} >"$wxs"
# (wixl 0.101 fails on a letter outside ASCII in the MajorUpgrade's message;
# the element goes without one.)
wixl -a x64 -o "$msi" "$wxs"
echo "$msi: $(du -h "$msi" | cut -f1)"
