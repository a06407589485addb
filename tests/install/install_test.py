"""The command line without a display, `cmake --install`'s tree and the Debian package (installed only as root)."""

import glob
import os
import subprocess
import sys
import tempfile

BUILD = os.path.abspath(sys.argv[1])
PROGRAM = os.path.join(BUILD, "corvane")
CACHE = open(os.path.join(BUILD, "CMakeCache.txt")).read()
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL:", what, file=sys.stderr)


def run(argv, **kwargs):
    return subprocess.run(argv, capture_output=True, text=True, timeout=300, **kwargs)


def command_line():
    env = {key: value for key, value in os.environ.items()
           if key not in ("DISPLAY", "WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS")}
    version = CACHE.split("CMAKE_PROJECT_VERSION:STATIC=")[1].split()[0]
    cases = [
        (["--version"], 0, "stdout", "corvane " + version + "\n"),
        (["--help"], 0, "stdout", "holding Alt"),
        (["--frobnicate"], 2, "stderr", "Unknown option 'frobnicate'"),
        (["now"], 2, "stderr", "unexpected argument 'now'"),
    ]
    for arguments, status, stream, text in cases:
        result = run([PROGRAM] + arguments, env=env)  # no display, no buses: the answers must not need them
        output = getattr(result, stream)
        check(result.returncode == status and text in output, f"corvane {arguments}: {result.returncode}, {output!r}")


def installed_tree():
    with tempfile.TemporaryDirectory() as prefix:
        result = run(["cmake", "--install", BUILD, "--prefix", prefix])
        check(result.returncode == 0, "cmake --install: " + result.stderr)
        metainfo = "share/metainfo/io.github.corvane.Corvane.metainfo.xml"
        expected = ["bin/corvane", "share/applications/corvane.desktop", metainfo,
                    "share/icons/hicolor/scalable/apps/corvane.svg"]
        expected += [f"share/icons/hicolor/{n}x{n}/apps/corvane.png" for n in (16, 22, 24, 32, 48, 64, 128, 256)]
        expected += [f"share/corvane/translations/corvane_{language}.qm" for language in ("en", "de", "fr")]
        expected.append(CACHE.split("CMAKE_INSTALL_LIBDIR:PATH=")[1].split()[0] + "/corvane/libcorvane_history.so")
        for path in expected:
            check(os.path.isfile(os.path.join(prefix, path)), "installed " + path)
        result = run(["appstreamcli", "validate", "--no-net", os.path.join(prefix, metainfo)])
        check(result.returncode == 0, "appstreamcli validate: " + result.stdout + result.stderr)


def debian_package():
    for old in glob.glob(os.path.join(BUILD, "corvane_*.deb")):
        os.remove(old)
    result = run(["cpack", "-G", "DEB"], cwd=BUILD)
    packages = glob.glob(os.path.join(BUILD, "corvane_*.deb"))
    check(result.returncode == 0 and len(packages) == 1, "cpack -G DEB: " + result.stdout + result.stderr)
    if not packages:
        return
    depends = run(["dpkg-deb", "--field", packages[0], "Depends"]).stdout
    contents = run(["dpkg-deb", "--contents", packages[0]]).stdout
    check("/corvane/libcorvane_history.so" in contents, "package holds the history window's library")
    for library in ("libqt6widgets6", "libqt6charts6", "libqt6dbus6", "libicu", "qt6-qpa-plugins"):
        check(library in depends, f"package depends on {library}: {depends!r}")
    if os.geteuid() != 0:
        print("not root: the package is built and checked but not installed")
        return
    env = dict(os.environ, DEBIAN_FRONTEND="noninteractive")
    result = run(["apt-get", "install", "-y", "-q", "--no-install-recommends", packages[0]], env=env)
    check(result.returncode == 0, "apt-get install: " + result.stdout[-2000:] + result.stderr)
    try:
        result = run(["/usr/bin/corvane", "--version"])
        check(result.returncode == 0 and result.stdout.startswith("corvane "), "installed corvane --version")
    finally:
        result = run(["apt-get", "remove", "-y", "-q", "corvane"], env=env)
        check(result.returncode == 0 and not os.path.exists("/usr/bin/corvane"), "apt-get remove corvane")


command_line()
installed_tree()
debian_package()
sys.exit(1 if failures else 0)
