#!/usr/bin/env python3
"""Web releases for the loopback test server (tools/test_http_server.py).

The builder writes a release as disc folders (disk_0/, disk_1/, ... each holding the release
folder). A web release is one folder with the zipped manifest and a ".zip" for every file:
global scenery, which the discs carry as ".7z", gets a zip of its master file.

    web_release.py publish --discs DISCS --master MASTER --out FOLDER
        merges the disc folders of a built release into FOLDER (hard links where it can).

    web_release.py serve --root ROOT --releases FOLDER --final NAME --mirrors HOST[,HOST...]
                         [--list-host HOST] [--beta NAME]
        makes ROOT (the test server's root) serve FOLDER/<release>/ as /rel/<release>/ on every
        mirror, and the server list naming the mirrors (in that order) on the list host.

    web_release.py sample --tools BUILD_TOOLS --out FOLDER
        the sample master in two releases built by our builder: FOLDER/releases/R1 (the full
        release of the sample master) and FOLDER/releases/R2 (its next version, built against
        R1's manifest); their masters and disc sets stay in FOLDER too.
"""

import argparse
import os
import shutil
import subprocess
import sys
import zipfile

LIST_HOST = "update.tessaly.example"


def release_folder(disc):
    names = [n for n in os.listdir(disc) if os.path.isdir(os.path.join(disc, n))]
    if len(names) != 1:
        sys.exit("web_release: %s should hold one release folder, holds %s" % (disc, names))
    return os.path.join(disc, names[0])


def link_or_copy(src, dst):
    os.makedirs(os.path.dirname(dst), exist_ok=True)
    try:
        os.link(src, dst)
    except OSError:
        shutil.copy2(src, dst)


def publish(discs, master, out):
    disc_names = sorted((n for n in os.listdir(discs) if n.startswith("disk_")), key=lambda n: int(n[5:]))
    if not disc_names:
        sys.exit("web_release: no disk_N folder in %s" % discs)
    if os.path.exists(out):
        shutil.rmtree(out)
    for disc in disc_names:
        top = release_folder(os.path.join(discs, disc))
        for folder, _, files in os.walk(top):
            for name in files:
                src = os.path.join(folder, name)
                rel = os.path.relpath(src, top)
                if rel.endswith(".7z"):
                    # The web fetches ".zip" for every file: one entry, the master file's name.
                    plain = rel[:-3]
                    dst = os.path.join(out, plain + ".zip")
                    os.makedirs(os.path.dirname(dst), exist_ok=True)
                    with zipfile.ZipFile(dst, "w", zipfile.ZIP_DEFLATED) as z:
                        z.write(os.path.join(master, plain), os.path.basename(plain))
                else:
                    link_or_copy(src, os.path.join(out, rel))
    if not os.path.isfile(os.path.join(out, "directory.txt.zip")):
        sys.exit("web_release: the release has no directory.txt.zip")


def serve(root, releases, final, mirrors, list_host, beta):
    os.makedirs(root, exist_ok=True)
    lines = ["A", "820 version", "SERVERS", "", "FINAL " + final]
    if beta:
        lines.append("BETA " + beta)
    for i, host in enumerate(mirrors):
        os.makedirs(os.path.join(root, host), exist_ok=True)
        link = os.path.join(root, host, "rel")
        if os.path.lexists(link):
            os.remove(link)
        os.symlink(os.path.abspath(releases), link)
        lines += ["SERVER " + host, "/rel/", "Mirror %d|Mirror %d (%s)" % (i + 1, i + 1, host)]
    lines.append("ENDOFLIST")
    os.makedirs(os.path.join(root, list_host), exist_ok=True)
    with open(os.path.join(root, list_host, "serverlist9.txt"), "w") as f:
        f.write("\n".join(lines) + "\n")


def run(*args):
    subprocess.run(args, check=True, stdout=subprocess.DEVNULL, stdin=subprocess.DEVNULL)


def sample(tools, out):
    out = os.path.abspath(out)
    if os.path.exists(out):
        shutil.rmtree(out)
    os.makedirs(out)
    masters = [os.path.join(out, "master R1"), os.path.join(out, "master R2")]
    discs = [os.path.join(out, "discs R1"), os.path.join(out, "discs R2")]
    for variant in (0, 1):
        run(os.path.join(tools, "volatra_sample_master"), masters[variant], "--variant", str(variant))
        os.makedirs(discs[variant])
    run(os.path.join(tools, "volatra_make_installer"), "--src", masters[0], "--dst", discs[0], "--kind", "1",
        "--disc-kb", "350", "--terminal")
    # The next release reads the last one's manifest, renumbered as the previous builder wrote it.
    with zipfile.ZipFile(os.path.join(release_folder(os.path.join(discs[0], "disk_0")), "directory.txt.zip")) as z:
        text = z.read("directory.txt").decode("latin-1")
    old = os.path.join(out, "R1 directory.txt")
    with open(old, "w", encoding="latin-1") as f:
        f.write(text.replace(" 91001 ", " 90001 "))
    run(os.path.join(tools, "volatra_make_installer"), "--src", masters[1], "--dst", discs[1], "--kind", "0",
        "--old", old, "--disc-kb", "350", "--terminal")
    for i, name in enumerate(("R1", "R2")):
        publish(discs[i], masters[i], os.path.join(out, "releases", name))


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    sub = ap.add_subparsers(dest="command", required=True)
    p = sub.add_parser("publish")
    p.add_argument("--discs", required=True)
    p.add_argument("--master", required=True)
    p.add_argument("--out", required=True)
    s = sub.add_parser("serve")
    s.add_argument("--root", required=True)
    s.add_argument("--releases", required=True)
    s.add_argument("--final", required=True)
    s.add_argument("--mirrors", required=True)
    s.add_argument("--list-host", default=LIST_HOST)
    s.add_argument("--beta")
    m = sub.add_parser("sample")
    m.add_argument("--tools", required=True)
    m.add_argument("--out", required=True)
    args = ap.parse_args()
    if args.command == "publish":
        publish(args.discs, args.master, args.out)
    elif args.command == "serve":
        serve(args.root, args.releases, args.final, args.mirrors.split(","), args.list_host, args.beta)
    else:
        sample(args.tools, args.out)


if __name__ == "__main__":
    main()
