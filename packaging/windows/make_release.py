#!/usr/bin/python3
"""Makes the Windows release files from a built Zevlo.exe (scripts/package-windows runs it):

  Zevlo-<version>-win64.zip   Zevlo.exe, LICENSE.txt, README.txt; the same bytes from the
                              same commit (file times from the commit, fixed order)
  Zevlo-<version>-win64.msi   the per-user installer (wixl, packaging/windows/Zevlo.wxs)
  winget/                     the three files of a winget manifest for that MSI
"""
import argparse
import hashlib
import os
import subprocess
import sys
import tempfile
import time
import uuid
import zipfile

# The installer's UpgradeCode (packaging/windows/Zevlo.wxs) names the product; each version's
# product code is derived from it, so a version rebuilt keeps its code.
UPGRADE_CODE = "16DA3844-4793-48F9-BCF8-9B3761D4F5D1"
PUBLISHER = "The Zevlo developers"
PACKAGE_ID = "Zevlo.Zevlo"


def product_code(msi_version):
    return "{%s}" % str(uuid.uuid5(uuid.UUID(UPGRADE_CODE), "Zevlo %s win64" % msi_version)).upper()


def windows_text(path, version):
    # Windows users open these in Notepad: CR LF line ends.
    text = open(path, encoding="utf-8").read().replace("@ZEVLO_VERSION@", version)
    return text.replace("\r\n", "\n").replace("\n", "\r\n").encode("utf-8")


def write_zip(path, exe, readme, licence, epoch):
    # Zip times have no zone: the commit's time in UTC, whatever the builder's zone.
    stamp = time.gmtime(max(epoch, 315532800))[:6]  # zip cannot hold times before 1980
    entries = [("Zevlo.exe", 0o755, open(exe, "rb").read()), ("LICENSE.txt", 0o644, licence),
               ("README.txt", 0o644, readme)]
    with zipfile.ZipFile(path, "w") as archive:
        for name, mode, data in entries:
            info = zipfile.ZipInfo(name, stamp)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.create_system = 3
            info.external_attr = mode << 16
            archive.writestr(info, data, compresslevel=9)


def write_msi(path, wxs, files, msi_version):
    # wixl takes its source files by relative names only: they are written into a folder of
    # their own, and wixl runs there.
    with tempfile.TemporaryDirectory() as scratch:
        for name, data in files.items():
            with open(os.path.join(scratch, name), "wb") as f:
                f.write(data)
        subprocess.run(["wixl", "-a", "x64", "-o", os.path.abspath(path),
                        "-D", "Version=" + msi_version, "-D", "ProductCode=" + product_code(msi_version),
                        os.path.abspath(wxs)], cwd=scratch, check=True)


def sha256(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest().upper()


def write_winget(folder, msi, msi_version, url, copyright_line):
    os.makedirs(folder, exist_ok=True)
    header = "# yaml-language-server: $schema=https://aka.ms/winget-manifest.%s.1.6.0.schema.json\n\n"
    common = "PackageIdentifier: %s\nPackageVersion: %s\n" % (PACKAGE_ID, msi_version)
    code = product_code(msi_version)
    files = {
        PACKAGE_ID + ".yaml": header % "version" + common +
        "DefaultLocale: en-US\nManifestType: version\nManifestVersion: 1.6.0\n",
        PACKAGE_ID + ".installer.yaml": header % "installer" + common +
        "MinimumOSVersion: 10.0.17134.0\n"  # Windows 10 1803: the first with curl.exe
        "InstallerType: wix\n"
        "Scope: user\n"
        "InstallModes:\n- interactive\n- silent\n- silentWithProgress\n"
        "UpgradeBehavior: install\n"
        "ProductCode: '%s'\n"
        "AppsAndFeaturesEntries:\n"
        "- DisplayName: Zevlo\n  Publisher: %s\n  ProductCode: '%s'\n  UpgradeCode: '{%s}'\n"
        "Installers:\n"
        "- Architecture: x64\n  InstallerUrl: %s\n  InstallerSha256: %s\n"
        "ManifestType: installer\nManifestVersion: 1.6.0\n" % (code, PUBLISHER, code, UPGRADE_CODE, url, sha256(msi)),
        PACKAGE_ID + ".locale.en-US.yaml": header % "defaultLocale" + common +
        "PackageLocale: en-US\n"
        "Publisher: %s\n"
        "PackageName: Zevlo\n"
        "License: MIT\n"
        "Copyright: '%s'\n"
        "ShortDescription: Dynamic-DNS client for the notification area\n"
        "Description: Zevlo learns the computer's public address every few minutes and, when it changed,\n"
        "  tells the dynamic-DNS service (dyndns2 protocol), so a host name follows the address.\n"
        "Moniker: zevlo\n"
        "Tags:\n- ddns\n- dns\n- dynamic-dns\n- dyndns2\n- tray\n"
        "ManifestType: defaultLocale\nManifestVersion: 1.6.0\n" % (PUBLISHER, copyright_line),
    }
    for name, text in files.items():
        with open(os.path.join(folder, name), "w", encoding="utf-8", newline="\n") as f:
            f.write(text)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--exe", required=True)
    parser.add_argument("--version", required=True, help="the program's version (the zip's name)")
    parser.add_argument("--msi-version", required=True, help="the installer's ProductVersion (a.b.c)")
    parser.add_argument("--source", required=True, help="the source tree")
    parser.add_argument("--dist", required=True)
    parser.add_argument("--url", required=True, help="where the MSI will be downloaded from")
    parser.add_argument("--epoch", type=int, required=True, help="the commit's time (seconds since 1970)")
    args = parser.parse_args()

    os.makedirs(args.dist, exist_ok=True)
    licence_path = os.path.join(args.source, "LICENSE")
    licence = windows_text(licence_path, args.version)
    readme = windows_text(os.path.join(args.source, "shell/win/README.txt"), args.version)
    copyright_line = next(line for line in licence.decode("utf-8").splitlines() if line.startswith("Copyright"))

    zip_path = os.path.join(args.dist, "Zevlo-%s-win64.zip" % args.version)
    write_zip(zip_path, args.exe, readme, licence, args.epoch)

    msi_path = os.path.join(args.dist, "Zevlo-%s-win64.msi" % args.msi_version)
    write_msi(msi_path, os.path.join(args.source, "packaging/windows/Zevlo.wxs"),
              {"Zevlo.exe": open(args.exe, "rb").read(), "LICENSE.txt": licence,
               "zevlo.ico": open(os.path.join(args.source, "shell/resources/zevlo.ico"), "rb").read()},
              args.msi_version)
    write_winget(os.path.join(args.dist, "winget"), msi_path, args.msi_version, args.url, copyright_line)
    for path in (zip_path, msi_path):
        print(path)


if __name__ == "__main__":
    sys.exit(main())
