#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Keeps the floors: no file includes a header of a target, or of a library, that the target
# building it does not link, directly or through what those pass on (PUBLIC, INTERFACE).
# Quoted includes are followed into the headers they name, so a header that pulls in a floor or
# a library counts for every file that includes it.
#   scripts/check-floors.sh MAP
# MAP is written by CMake (floors.txt in the build folder), one entry a line:
#   root DIR              the source tree; messages name files from here
#   path DIR              where quoted includes are looked up, after the including file's folder
#   qt TARGET DIR         a Qt module's header folder
#   target NAME SEEN...   a target and what its files may include from, itself among them
#   file NAME PATH        a source or header of that target
set -euo pipefail
[ $# -eq 1 ] || { echo "usage: $0 MAP" >&2; exit 2; }
[ -r "$1" ] || { echo "$0: cannot read $1" >&2; exit 2; }

exec awk '
$1 == "root" { root = $2 "/"; next }
$1 == "path" { paths[++npaths] = $2; next }
$1 == "qt" { qtTarget[++nqt] = $2; qtDir[nqt] = $3; next }
$1 == "target" { for (i = 3; i <= NF; i++) sees[$2, $i] = 1; next }
$1 == "file" { owner[$3] = $2; files[++nfiles] = $3; next }

function exists(path,    line, status) {
    status = (getline line < path)
    close(path)
    return status >= 0
}

# The file a quoted include names, looked up as the compiler would; empty when none is ours.
function resolve(name, from,    dir, i) {
    dir = from
    sub(/\/[^\/]*$/, "", dir)
    if (exists(dir "/" name))
        return dir "/" name
    for (i = 1; i <= npaths; i++)
        if (exists(paths[i] "/" name))
            return paths[i] "/" name
    return ""
}

# The library target an angle-bracket include belongs to; empty for the system and the
# standard library.
function library(name,    i) {
    if (name in libraryOf)
        return libraryOf[name]
    libraryOf[name] = ""
    if (name ~ /^lame\//)
        libraryOf[name] = "PkgConfig::LAME"
    else if (name ~ /^lib(avcodec|avformat|avutil|swresample)\//)
        libraryOf[name] = "PkgConfig::FFMPEG"
    else if (name == "ebur128.h")
        libraryOf[name] = "PkgConfig::EBUR128"
    else if (name ~ /^taglib\//)
        libraryOf[name] = "PkgConfig::TAGLIB"
    else if (name ~ /^(gtest|gmock)\//)
        libraryOf[name] = "GTest::" substr(name, 1, 5)
    else if (name ~ /^Q/)
        for (i = 1; i <= nqt; i++)
            if (exists(qtDir[i] "/" name)) {
                libraryOf[name] = qtTarget[i]
                break
            }
    return libraryOf[name]
}

function shown(path) {
    return index(path, root) == 1 ? substr(path, length(root) + 1) : path
}

function complain(top, via, what, needed, target) {
    if ((top, what) in told)
        return
    told[top, what] = 1
    printf "%s: includes %s (%s), which %s does not link%s\n", shown(top), what, needed,
           target, via == top ? "" : " (through " shown(via) ")"
    ++bad
}

function walk(path, target, top,    line, name, header, needed) {
    while ((getline line < path) > 0) {
        if (line !~ /^[ \t]*#[ \t]*include[ \t]*["<]/)
            continue
        sub(/^[ \t]*#[ \t]*include[ \t]*/, "", line)
        name = substr(line, 2)
        if (substr(line, 1, 1) == "\"") {
            sub(/".*/, "", name)
            header = resolve(name, path)
            if (header == "")
                continue
            if ((header in owner) && !((target, owner[header]) in sees))
                complain(top, path, name, owner[header], target)
            if (!(header in seen)) {
                seen[header] = 1
                walk(header, target, top)
            }
        } else {
            sub(/>.*/, "", name)
            needed = library(name)
            if (needed != "" && !((target, needed) in sees))
                complain(top, path, "<" name ">", needed, target)
        }
    }
    close(path)
}

END {
    if (nfiles == 0) {
        print "no files in the map" > "/dev/stderr"
        exit 2
    }
    for (f = 1; f <= nfiles; f++) {
        split("", seen)
        seen[files[f]] = 1
        walk(files[f], owner[files[f]], files[f])
    }
    if (bad) {
        printf "%d include(s) across the floors: link what is included, or move the code\n",
               bad > "/dev/stderr"
        exit 1
    }
    printf "%d files keep their floors\n", nfiles
}
' "$1"
