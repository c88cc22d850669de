"""A throwaway Wine prefix for running Quarvel.exe, never the user's own."""
import os
import re
import shutil
import subprocess
import tempfile

SESSION_MANAGER = r"HKLM\System\CurrentControlSet\Control\Session Manager"
PENDING = "PendingFileRenameOperations"


class Wine:
    """A private Wine prefix and the commands run in it."""

    def __init__(self, work_dir):
        self.prefix = os.path.join(os.path.abspath(work_dir), "prefix")
        self.drive_c = os.path.join(self.prefix, "drive_c")
        self.env = dict(os.environ, WINEPREFIX=self.prefix, WINEARCH="win32",
                        WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")
        self.env.pop("DISPLAY", None)
        self.env.pop("WAYLAND_DISPLAY", None)

    def run(self, args, cwd=None, check=True, overrides=None, pipe=False):
        """Runs a command in the prefix. `overrides` replaces the DLL
        overrides; `pipe` sends standard output through a pipe instead of a
        file (only once the prefix's services are running: the services Wine
        starts on first use live on and would hold a pipe open)."""
        env = dict(self.env, WINEDLLOVERRIDES=overrides) if overrides else self.env
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            stdout = subprocess.PIPE if pipe else out
            done = subprocess.run(args, cwd=cwd, env=env, stdout=stdout, stderr=err, timeout=120)
            out.seek(0)
            err.seek(0)
            result = subprocess.CompletedProcess(args, done.returncode,
                                                 done.stdout if pipe else out.read(), err.read())
        if check and result.returncode != 0:
            raise RuntimeError("%s failed: %s" % (" ".join(args), result.stderr.decode()))
        return result

    def create(self):
        shutil.rmtree(self.prefix, ignore_errors=True)
        os.makedirs(self.prefix)
        self.start_server()
        self.run(["wineboot", "-i"])

    def start_server(self):
        # A persistent server, so that every command shares it. It outlives
        # this call and must not hold the output pipes.
        subprocess.run(["wineserver", "-p"], env=self.env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, check=True, timeout=60)

    def add_drive(self, letter, target, kind=None):
        """Maps a drive letter to a host folder; a `kind` such as "network"
        takes effect once the server restarts (restart_server)."""
        os.makedirs(target, exist_ok=True)
        os.symlink(target, os.path.join(self.prefix, "dosdevices", letter.lower() + ":"))
        if kind:
            self.run(["wine", "reg", "add", r"HKLM\Software\Wine\Drives", "/v", letter.lower() + ":",
                      "/t", "REG_SZ", "/d", kind, "/f"])

    def restart_server(self):
        self.stop()
        self.run(["wineserver", "-w"], check=False)
        self.start_server()

    def stop(self):
        self.run(["wineserver", "-k"], check=False)

    def set_version(self, version):
        self.run(["wine", "reg", "add", r"HKCU\Software\Wine", "/v", "Version", "/t", "REG_SZ",
                  "/d", version, "/f"])

    def pending_renames(self):
        result = self.run(["wine", "reg", "query", SESSION_MANAGER, "/v", PENDING], check=False)
        match = re.search(rb"REG_MULTI_SZ\s+(.*?)\r?\n", result.stdout)
        return match.group(1).decode().split("\\0") if match else None

    def clear_pending_renames(self):
        self.run(["wine", "reg", "delete", SESSION_MANAGER, "/v", PENDING, "/f"], check=False)
