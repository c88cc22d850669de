"""A throwaway Wine prefix for running Quarvel.exe, never the user's own.

A prefix is 32-bit (win32) or 64-bit (win64), and its own Wine loader is
called directly: Debian's `wine` and `wineboot` launchers pick the 32-bit
loader whenever it is installed, even on a kernel that cannot run it. The
programs under test may be of the other architecture (32-bit programs in a
64-bit prefix, as on 64-bit Windows); they are started by the loader of
their own. One wineserver serves both.
"""
import errno
import os
import platform
import re
import shlex
import shutil
import subprocess
import tempfile

LOADERS = {"win32": "/usr/lib/wine/wine", "win64": "/usr/lib/wine/wine64"}
SERVER = "/usr/lib/wine/wineserver64"
SESSION_MANAGER = r"HKLM\System\CurrentControlSet\Control\Session Manager"
PENDING = "PendingFileRenameOperations"
# Debian's Wine has no preloader to reserve the fixed addresses Wine needs
# before anything else is mapped; with address randomization on, the
# loader's own heap sometimes lies there and the process dies at start with
# status 1 and no output. Each Wine process, and so each child it starts,
# runs with randomization off for itself alone.
NO_RANDOMIZATION = ["setarch", platform.machine(), "-R"]


class WineFailure(RuntimeError):
    """A Wine command failed, or Wine could not start a program at all."""


class Wine:
    """A private Wine prefix and the commands run in it."""

    def __init__(self, work_dir, arch="win32", programs=None):
        self.arch, self.programs = arch, programs or arch
        self.loader = LOADERS[arch]
        self.prefix = os.path.join(os.path.abspath(work_dir), "prefix")
        self.drive_c = os.path.join(self.prefix, "drive_c")
        self.env = dict(os.environ, WINEPREFIX=self.prefix, WINEARCH=arch, WINELOADER=self.loader,
                        WINESERVER=SERVER, WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")
        self.env.pop("DISPLAY", None)
        self.env.pop("WAYLAND_DISPLAY", None)

    def cannot_start(self):
        """Why the programs' Wine cannot start here, or None if it can: a
        kernel without 32-bit support refuses the 32-bit loader at once."""
        loader = LOADERS[self.programs]
        try:
            subprocess.run([loader, "--version"], stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, check=True, timeout=30)
        except OSError as error:
            if error.errno == errno.ENOENT:
                return "%s is not installed" % loader
            why = "the kernel runs no 32-bit code" if error.errno == errno.ENOEXEC else error.strerror
            return "%s cannot start here: %s" % (loader, why)
        except subprocess.SubprocessError as error:
            return "%s cannot start here: %s" % (loader, error)
        return None

    def describe(self):
        version = subprocess.run([self.loader, "--version"], stdout=subprocess.PIPE,
                                 check=False).stdout.decode().strip()
        return "Wine %s-bit (%s, %s prefix)" % (self.programs[3:], version, self.arch)

    def run(self, args, cwd=None, check=True, overrides=None, pipe=False, locale=None, tty=False):
        """Runs a command in the prefix: "wine" stands for the prefix's
        loader, "program" for the loader of the programs under test,
        "wineboot" for the loader running wineboot, "wineserver" for the
        server. `overrides` replaces the DLL overrides; `locale` (LC_ALL)
        chooses Wine's code pages for the command; `pipe` sends
        standard output through a pipe instead of a file (only once the
        prefix's services are running: the services Wine starts on first use
        live on and would hold a pipe open); `tty` runs it on a terminal of
        its own (script), where Wine gives it a console."""
        command = {"wine": [self.loader], "program": [LOADERS[self.programs]],
                   "wineboot": [self.loader, "wineboot"], "wineserver": [SERVER]}
        args = command.get(args[0], args[:1]) + list(args[1:])
        # Wine finds the loader of the other architecture from WINELOADER.
        env = dict(self.env, WINELOADER=args[0]) if args[0] in LOADERS.values() else self.env
        if overrides:
            env = dict(env, WINEDLLOVERRIDES=overrides)
        if locale:
            env = dict(env, LC_ALL=locale)
        result = self._run(args, cwd, env, pipe, tty)
        # Status 1 with no output at all is Wine dying before the program
        # started: Quarvel always prints its banner first, and Wine's own
        # commands say why they fail. That, and a harness command that
        # failed, is run once more with Wine's error channel on, so that the
        # failure says why; it is never taken for a result of the program.
        never_started = (args[0] != SERVER and result.returncode == 1 and not result.stdout
                         and not result.stderr)
        if never_started or (check and result.returncode != 0):
            again = self._run(args, cwd, dict(env, WINEDEBUG="err+all"), pipe, tty)
            said = (again.stderr.decode(errors="replace").strip()
                    or "nothing; it started the second time, with status %d" % again.returncode)
            raise WineFailure("%s: %s (status %d); run again with WINEDEBUG=err+all, Wine said: %s"
                                   % (" ".join(args), "Wine could not start the program"
                                      if never_started else "failed", result.returncode, said))
        return result

    def run_together(self, commands, cwd):
        """Starts programs under test at the same moment; returns their
        statuses."""
        loader = LOADERS[self.programs]
        env = dict(self.env, WINELOADER=loader)
        processes = [subprocess.Popen(NO_RANDOMIZATION + [loader] + list(args), cwd=cwd, env=env,
                                      stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                      stdin=subprocess.DEVNULL) for args in commands]
        return [process.wait(timeout=120) for process in processes]

    @staticmethod
    def _run(args, cwd, env, pipe, tty=False):
        command = NO_RANDOMIZATION + args
        if tty:
            command = ["script", "-qec", shlex.join(command), "/dev/null"]
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            stdout = subprocess.PIPE if pipe else out
            done = subprocess.run(command, cwd=cwd, env=env, stdout=stdout, stderr=err,
                                  stdin=subprocess.DEVNULL, timeout=120)
            out.seek(0)
            err.seek(0)
            return subprocess.CompletedProcess(args, done.returncode,
                                               done.stdout if pipe else out.read(), err.read())

    def create(self):
        shutil.rmtree(self.prefix, ignore_errors=True)
        os.makedirs(self.prefix)
        self.start_server()
        self.run(["wineboot", "-i"])

    def start_server(self):
        # A persistent server, so that every command shares it. It outlives
        # this call and must not hold the output pipes.
        subprocess.run(NO_RANDOMIZATION + [SERVER, "-p"], env=self.env, stdout=subprocess.DEVNULL,
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
        """The registered moves, exactly: exported (reg query would show
        them in the console's code page), as a list of names, or None; a
        value cut inside a character as its bytes."""
        exported = os.path.join(self.drive_c, "pending.reg")
        self.run(["wine", "reg", "export", SESSION_MANAGER, r"C:\pending.reg", "/y"])
        with open(exported, "rb") as f:
            text = f.read().decode("utf-16")
        os.remove(exported)
        match = re.search(r'"%s"=hex\(7\):([0-9a-f,\\\s]*)' % PENDING, text)
        if not match:
            return None
        data = bytes(int(b, 16) for b in re.findall(r"[0-9a-f]{2}", match.group(1)))
        return data if len(data) % 2 else data.decode("utf-16-le").split("\0")[:-2]

    def clear_pending_renames(self):
        self.run(["wine", "reg", "delete", SESSION_MANAGER, "/v", PENDING, "/f"], check=False)

    def set_pending_renames(self, names, value=PENDING):
        """Writes the registered moves exactly, as another program might: a
        list of names, or the value's bytes."""
        data = names if isinstance(names, bytes) else ("".join(n + "\0" for n in names) + "\0").encode("utf-16-le")
        octets = ",".join("%02x" % b for b in data)
        with open(os.path.join(self.drive_c, "pending.reg"), "wb") as f:
            f.write(('Windows Registry Editor Version 5.00\r\n\r\n[%s]\r\n"%s"=hex(7):%s\r\n'
                     % (SESSION_MANAGER.replace("HKLM", "HKEY_LOCAL_MACHINE"), value, octets))
                    .encode("utf-16"))
        self.run(["wine", "reg", "import", r"C:\pending.reg"])
        os.remove(os.path.join(self.drive_c, "pending.reg"))
