#!/usr/bin/env python3
"""Writes the release's bill of materials (SPDX 2.3, JSON) to stdout.

    sbom.py --version V --created EPOCH --binaries LIST --artifact FILE FOLDER [--artifact ...]

Each artifact is a shipped file (zip, tarball, Debian package) and the folder
it was made from; every file in it is listed with its checksums. LIST has a
line "shipped-path<TAB>build-binary" for each stripped binary. What a binary
contains is read from what its build used, never typed in:
  - archives and objects the linker took from the system (its map file,
    <build-binary>.map, which the build writes);
  - system headers its objects were compiled from (ninja's dependency log);
  - the shared libraries it loads (ELF NEEDED entries);
each turned into the Debian package that holds it, with the version that
dpkg-query reports.
"""
import argparse
import datetime
import hashlib
import json
import os
import re
import subprocess
import sys

# Licences of the Debian source packages this build takes code from, as SPDX
# expressions. A package not named here is NOASSERTION.
LICENCES = {
    "gcc-mingw-w64": "GPL-3.0-or-later WITH GCC-exception-3.1",
    "gcc-12": "GPL-3.0-or-later WITH GCC-exception-3.1",
    "boost1.74": "BSL-1.0",
    "boost-defaults": "BSL-1.0",
    "nlohmann-json3": "MIT",
    "glibc": "LGPL-2.1-or-later",
    "linux": "GPL-2.0-only WITH Linux-syscall-note",
    "llvm-toolchain-14": "Apache-2.0 WITH LLVM-exception",
}
OWN_LICENCE = "LicenseRef-tiprelay"


def digest(path, algorithm):
    h = hashlib.new(algorithm)
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(1 << 20), b""):
            h.update(block)
    return h.hexdigest()


def checksums(path):
    return [{"algorithm": "SHA1", "checksumValue": digest(path, "sha1")},
            {"algorithm": "SHA256", "checksumValue": digest(path, "sha256")}]


def files_under(folder):
    found = []
    for top, dirs, names in os.walk(folder):
        dirs.sort()
        found += [os.path.join(top, n) for n in sorted(names) if os.path.isfile(os.path.join(top, n))]
    return found


def run(*command):
    return subprocess.run(command, capture_output=True, text=True, check=False).stdout


def system_inputs_of_map(map_file):
    """The system archives whose members the linker took, the system objects
    it loaded, and the build's own archives and objects (by target)."""
    archives, objects, targets = set(), set(), set()
    build = os.path.dirname(os.path.dirname(map_file))
    in_members = False
    with open(map_file, errors="replace") as f:
        for line in f:
            if line.startswith("Archive member included"):
                in_members = True
            elif line.startswith(("Discarded input sections", "Memory Configuration")):
                in_members = False
            match = re.match(r"^(/[^()\s]+\.a)\(", line) if in_members else None
            if match:
                archives.add(os.path.normpath(match.group(1)))
            if line.startswith("LOAD "):
                path = line[5:].strip()
                if not os.path.isabs(path) or path.startswith(build + os.sep):
                    name = re.search(r"(?:^|/)(?:lib)?([^/]+?)(?:\.dir/.*|\.a)$", path)
                    if name:
                        targets.add(name.group(1))
                elif path.endswith((".o", ".obj")):
                    objects.add(os.path.normpath(path))
    return archives | objects, targets


def system_headers(build, targets):
    """System headers that the objects of the given targets were compiled from."""
    headers, take = set(), False
    for line in run("ninja", "-C", build, "-t", "deps").splitlines():
        if line and not line[0].isspace():
            take = any(f"/{t}.dir/" in "/" + line.split(":")[0] for t in targets)
        elif take:
            path = line.strip()
            if os.path.isabs(path) and not path.startswith(build):
                headers.add(os.path.normpath(path))
    return headers


def shared_libraries(binary):
    needed = re.findall(r"\(NEEDED\)\s+Shared library: \[(.+?)\]", run("readelf", "-d", binary))
    cache = dict(re.findall(r"^\s*(\S+) \(libc[^)]*x86-64[^)]*\) => (\S+)$", run("ldconfig", "-p"), re.M))
    return {cache[n] for n in needed if n in cache}


def packages_of(paths):
    """Debian package of each path, by dpkg-query -S (symbolic links resolved
    where the database names the real file)."""
    owners = {}
    # With a merged /usr, the database may name /lib/x for /usr/lib/x.
    for attempt in (lambda p: p, os.path.realpath, lambda p: re.sub(r"^/usr(?=/lib)", "", os.path.realpath(p))):
        left = sorted(p for p in paths if p not in owners)
        if not left:
            break
        names = {attempt(p): p for p in left}
        for line in run("dpkg-query", "-S", *names).splitlines():
            package, _, path = line.partition(": ")
            if path in names and "diversion" not in package:
                owners[names[path]] = package.split(",")[0].strip()
    return owners


def component(package, cache):
    if package not in cache:
        # The owner comes as NAME:ARCH where more than one architecture is installed.
        fields = run("dpkg-query", "-W", "-f=${Package}\t${Version}\t${source:Package}\t${Architecture}", package)
        name, version, source, arch = ((fields.splitlines() or [""])[0].split("\t") + ["", "", "", ""])[:4]
        cache[package] = {
            "SPDXID": "SPDXRef-Package-deb-" + re.sub(r"[^A-Za-z0-9.-]", "-", f"{name}-{arch}"),
            "name": name,
            "versionInfo": version or "NOASSERTION",
            "supplier": "Organization: Debian",
            "downloadLocation": "NOASSERTION",
            "filesAnalyzed": False,
            "licenseConcluded": "NOASSERTION",
            "licenseDeclared": LICENCES.get(source, "NOASSERTION"),
            "copyrightText": "NOASSERTION",
            "sourceInfo": f"Debian source package {source}",
            "externalRefs": [{"referenceCategory": "PACKAGE-MANAGER", "referenceType": "purl",
                              "referenceLocator": f"pkg:deb/debian/{package}@{version}?arch={arch}"}],
        }
    return cache[package]


def components_of(binary, cache):
    """(package, relationship, comment) for everything the build put into a binary."""
    build = os.path.dirname(os.path.dirname(binary))
    linked, targets = system_inputs_of_map(binary + ".map")
    headers = system_headers(build, targets)
    dynamic = shared_libraries(binary) if open(binary, "rb").read(4) == b"\x7fELF" else set()
    kinds = [(linked, "STATIC_LINK", "archive members and objects linked in"),
             (headers, "STATIC_LINK", "headers compiled in"),
             (dynamic, "DYNAMIC_LINK", "shared library loaded at run time")]
    owners = packages_of(linked | headers | dynamic)
    found = {}
    for paths, relationship, comment in kinds:
        for path in paths:
            if path in owners:
                found.setdefault((owners[path], relationship), set()).add(comment)
    return [(component(p, cache), r, "; ".join(sorted(c))) for (p, r), c in sorted(found.items())]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--version", required=True)
    parser.add_argument("--created", type=int, required=True)
    parser.add_argument("--binaries", required=True)
    parser.add_argument("--artifact", nargs=2, action="append", required=True, metavar=("FILE", "FOLDER"))
    args = parser.parse_args()

    built = {}
    with open(args.binaries) as f:
        for line in f:
            shipped, binary = line.rstrip("\n").split("\t")
            built[digest(shipped, "sha256")] = binary
    with open(os.path.join(os.path.dirname(__file__), "..", "packaging", "debian", "copyright")) as f:
        copyright_lines = f.read().splitlines()
    owner = next(line.split(":", 1)[1].strip() for line in copyright_lines if line.startswith("Copyright:"))
    own_terms = "\n".join(line.strip() for line in copyright_lines if line.startswith(" ")).replace("\n.\n", "\n\n")

    packages, files, relationships, cache, binary_components = [], [], [], {}, {}
    for index, (artifact, folder) in enumerate(args.artifact, 1):
        package_id = f"SPDXRef-Package-{index}"
        members = []
        for number, path in enumerate(files_under(folder), 1):
            file_id = f"SPDXRef-File-{index}-{number}"
            sums = checksums(path)
            members.append((file_id, sums[0]["checksumValue"]))
            files.append({"SPDXID": file_id, "fileName": "./" + os.path.relpath(path, folder), "checksums": sums,
                          "licenseConcluded": "NOASSERTION", "copyrightText": "NOASSERTION"})
            relationships.append({"spdxElementId": package_id, "relationshipType": "CONTAINS",
                                  "relatedSpdxElement": file_id})
            binary = built.get(sums[1]["checksumValue"])
            if binary:
                if binary not in binary_components:
                    binary_components[binary] = components_of(binary, cache)
                for comp, relationship, comment in binary_components[binary]:
                    relationships.append({"spdxElementId": file_id, "relationshipType": relationship,
                                          "relatedSpdxElement": comp["SPDXID"], "comment": comment})
        verification = hashlib.sha1("".join(sorted(s for _, s in members)).encode()).hexdigest()
        name = os.path.basename(artifact)
        packages.append({
            "SPDXID": package_id, "name": name, "versionInfo": args.version, "packageFileName": name,
            "supplier": "Organization: " + owner.split(" ", 1)[1], "downloadLocation": "NOASSERTION",
            "filesAnalyzed": True, "packageVerificationCode": {"packageVerificationCodeValue": verification},
            "checksums": checksums(artifact)[1:], "licenseConcluded": OWN_LICENCE, "licenseDeclared": OWN_LICENCE,
            "copyrightText": owner, "primaryPackagePurpose": "INSTALL" if name.endswith(".deb") else "ARCHIVE",
            "hasFiles": [file_id for file_id, _ in members],
        })
        relationships.insert(index - 1, {"spdxElementId": "SPDXRef-DOCUMENT", "relationshipType": "DESCRIBES",
                                         "relatedSpdxElement": package_id})

    shipped = "".join(p["checksums"][0]["checksumValue"] for p in packages)
    document = {
        "spdxVersion": "SPDX-2.3",
        "dataLicense": "CC0-1.0",
        "SPDXID": "SPDXRef-DOCUMENT",
        "name": f"tiprelay-{args.version}",
        "documentNamespace": f"https://tiprelay.example/spdx/tiprelay-{args.version}-"
                             + hashlib.sha256(shipped.encode()).hexdigest(),
        "creationInfo": {
            "created": datetime.datetime.fromtimestamp(args.created, datetime.timezone.utc).strftime(
                "%Y-%m-%dT%H:%M:%SZ"),
            "creators": ["Tool: tiprelay scripts/sbom.py", "Organization: " + owner.split(" ", 1)[1]],
        },
        "hasExtractedLicensingInfos": [{"licenseId": OWN_LICENCE, "name": "tiprelay licence",
                                        "extractedText": own_terms}],
        "packages": packages + [cache[k] for k in sorted(cache)],
        "files": files,
        "relationships": relationships,
    }
    json.dump(document, sys.stdout, indent=1, sort_keys=False)
    sys.stdout.write("\n")


if __name__ == "__main__":
    main()
