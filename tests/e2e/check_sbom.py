#!/usr/bin/env python3
"""check_sbom.py SBOM SHA256SUMS UNPACKED-FOLDER...: prints what the SPDX
document gets wrong about the release it describes; exits 1 if anything."""
import hashlib
import json
import re
import subprocess
import sys

# What each shipped binary must name, by relationship and package name.
REQUIRED = [
    {"binary": r"\.(dll|exe)$", "relationship": "STATIC_LINK", "package": r"^g\+\+-mingw-w64-"},  # libstdc++
    {"binary": r"\.(dll|exe)$", "relationship": "STATIC_LINK", "package": r"^mingw-w64-.*-dev$"},  # the C runtime
    {"binary": r"/tipserver$", "relationship": "STATIC_LINK", "package": r"^libboost[0-9.]*-dev$"},
    {"binary": r"/tipserver$", "relationship": "STATIC_LINK", "package": r"^nlohmann-json3-dev$"},
    {"binary": r"/tipserver$", "relationship": "DYNAMIC_LINK", "package": r"^libstdc\+\+6$"},
]


def main(sbom_path, sums_path, *folders):
    doc = json.load(open(sbom_path))
    problems = [f"no {key}" for key in ("dataLicense", "documentNamespace", "creationInfo") if not doc.get(key)]
    if doc.get("spdxVersion") != "SPDX-2.3":
        problems.append(f"spdxVersion {doc.get('spdxVersion')}")
    elements = {e["SPDXID"]: e for e in doc["packages"] + doc["files"]}
    links = doc["relationships"]
    ends = [end for r in links for end in (r["spdxElementId"], r["relatedSpdxElement"])]
    problems += [f"relationship names unknown {end}" for end in ends if end not in elements | {"SPDXRef-DOCUMENT": 0}]
    sums = {kind: {c["checksumValue"]: e for e in doc[kind] for c in e.get("checksums", [])}
            for kind in ("packages", "files")}

    shipped = [line.split() for line in open(sums_path)]
    problems += [f"{name}: not in the SBOM" for digest, name in shipped if name != sbom_path.split("/")[-1]
                 and digest not in sums["packages"]]
    for path in subprocess.run(["find", *folders, "-type", "f"], capture_output=True, text=True).stdout.split():
        entry = sums["files"].get(hashlib.sha256(open(path, "rb").read()).hexdigest())
        if not entry:
            problems.append(f"{path}: not in the SBOM")
            continue
        for row in (r for r in REQUIRED if re.search(r["binary"], path)):
            named = [elements[r["relatedSpdxElement"]] for r in links
                     if r["spdxElementId"] == entry["SPDXID"] and r["relationshipType"] == row["relationship"]]
            match = [p for p in named if re.search(row["package"], p["name"])]
            if not match:
                problems.append(f"{path}: no {row['relationship']} to {row['package']}")
            for p in match:
                installed = subprocess.run(["dpkg-query", "-W", "-f=${Version}\n", p["name"]], capture_output=True,
                                           text=True).stdout.split()
                if p["versionInfo"] not in installed:
                    problems.append(f"{p['name']} {p['versionInfo']} but dpkg-query says {installed}")
    print("\n".join(sorted(set(problems))))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
