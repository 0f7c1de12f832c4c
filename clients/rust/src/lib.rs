//! A client for orvel-keywatcher, the modifier key watcher: presses and
//! releases of the keyboard's eight modifier keys (left and right Shift,
//! Control, Option/Alt and Command/Super), each held alone too, from the
//! small native program this crate starts and reads. Standard library only.
//!
//! ```no_run
//! use std::ops::ControlFlow;
//! use orvel_keywatcher::{Key, KeyWatcher};
//!
//! # fn main() -> Result<(), orvel_keywatcher::Error> {
//! // The program beside this executable (a Tauri sidecar), or the system's on Linux.
//! let watcher = KeyWatcher::builder().start(|change| {
//!     println!("{} {}", change.key, if change.down { "down" } else { "up" });
//!     if change.key == Key::CmdRight && !change.down {
//!         return ControlFlow::Break(()); // stops the watcher
//!     }
//!     ControlFlow::Continue(())
//! })?;
//! let ending = watcher.stop()?; // the orderly stop: "stopped, exit 0"
//! println!("{}", ending);
//! # Ok(())
//! # }
//! ```
//!
//! `start` returns once the watcher watches (its banner on standard error),
//! and fails with the watcher's own message where it ends first (on Linux,
//! where it may not read the keyboards: show it as it is). Changes are given
//! to the callback on a thread of the crate's, one at a time, never before
//! `start` returns; the callback stops the watcher by returning
//! `ControlFlow::Break`, and any thread may call `stop`. Dropping the
//! `KeyWatcher` ends the watcher too.

#![forbid(unsafe_op_in_unsafe_fn)]
#![warn(missing_docs)]

use std::collections::HashMap;
use std::env;
use std::error;
use std::fmt;
use std::io::{self, BufRead, BufReader};
use std::ops::ControlFlow;
use std::path::PathBuf;
use std::process::{Child, ChildStderr, ChildStdout, Command, ExitStatus, Stdio};
use std::sync::{Arc, Condvar, Mutex, MutexGuard};
use std::thread::{self, JoinHandle};
use std::time::{Duration, Instant};

mod platform;

/// The watcher's one line on standard error once it watches: its ready signal.
pub const BANNER: &str = "Orvel macOS key watcher started";

/// The environment variable that names the program to start in place of the
/// one found (a distribution's own build, a test double); read by this
/// client, never by the watcher.
pub const OVERRIDE: &str = "ORVEL_KEYWATCHER_PROGRAM";

/// The program's file name on this system, as Tauri places a sidecar.
pub const PROGRAM_NAME: &str = if cfg!(windows) { "orvel-keywatcher.exe" } else { "orvel-keywatcher" };

/// One of the watched keys, by the name the watcher gives it. Both Shift,
/// both Control and both Option keys share a name; Command's sides do not.
#[derive(Clone, Copy, Debug, PartialEq, Eq, Hash)]
pub enum Key {
    /// Either Shift key: "shift".
    Shift,
    /// Either Control key: "ctrl".
    Ctrl,
    /// Either Option (Alt) key: "alt".
    Alt,
    /// The left Command (Super, Windows) key: "cmd_left".
    CmdLeft,
    /// The right Command (Super, Windows) key: "cmd_right".
    CmdRight,
}

impl Key {
    const ALL: [Key; 5] = [Key::Shift, Key::Ctrl, Key::Alt, Key::CmdLeft, Key::CmdRight];

    /// The watcher's name for the key.
    pub fn as_str(self) -> &'static str {
        match self {
            Key::Shift => "shift",
            Key::Ctrl => "ctrl",
            Key::Alt => "alt",
            Key::CmdLeft => "cmd_left",
            Key::CmdRight => "cmd_right",
        }
    }

    fn from_name(name: &str) -> Option<Key> {
        Key::ALL.iter().copied().find(|key| key.as_str() == name)
    }
}

impl fmt::Display for Key {
    fn fmt(&self, f: &mut fmt::Formatter<'_>) -> fmt::Result {
        f.write_str(self.as_str())
    }
}

/// One press or release.
#[derive(Clone, Copy, Debug, PartialEq, Eq)]
pub struct Change {
    /// The key, by its name.
    pub key: Key,
    /// True for a press.
    pub down: bool,
    /// How many keys of that name are down now: 0, 1 or 2.
    pub count: u8,
}

/// How the watcher ended.
#[derive(Clone, Debug, PartialEq, Eq)]
pub struct Ending {
    /// It ended after `stop` (or a callback's `Break`, or the drop).
    pub stopped: bool,
    /// Its exit status, where it exited.
    pub code: Option<i32>,
    /// The signal that ended it, where one did (macOS and Linux).
    pub signal: Option<i32>,
    /// What it wrote on standard error besides the banner.
    pub message: String,
}

impl Ending {
    fn new(stopped: bool, status: ExitStatus, message: String) -> Ending {
        Ending { stopped, code: status.code(), signal: platform::signal_of(status), message }
    }
}

impl fmt::Display for Ending {
    /// "stopped, exit 0", "by itself, signal 13".
    fn fmt(&self, f: &mut fmt::Formatter<'_>) -> fmt::Result {
        f.write_str(if self.stopped { "stopped, " } else { "by itself, " })?;
        match (self.code, self.signal) {
            (Some(code), _) => write!(f, "exit {}", code),
            (None, Some(signal)) => write!(f, "signal {}", signal),
            (None, None) => f.write_str("ended"),
        }
    }
}

/// Why the watcher could not be started, or how waiting for it failed.
#[derive(Debug)]
#[non_exhaustive]
pub enum Error {
    /// No program was found where a Tauri sidecar or a system install would
    /// be; the places looked at are named.
    NotFound(Vec<PathBuf>),
    /// The program is there but may not be run (its execute bit lost), or
    /// cannot be started.
    CannotRun(PathBuf, io::Error),
    /// It ended before it watched: its own message says why.
    Ended(Ending),
    /// It did not say it watches within the time given, and was stopped.
    NoBanner(Duration),
    /// Waiting for the program, or reading from it, failed.
    Io(io::Error),
}

impl fmt::Display for Error {
    fn fmt(&self, f: &mut fmt::Formatter<'_>) -> fmt::Result {
        match self {
            Error::NotFound(places) => {
                write!(f, "orvel-keywatcher: no program found (looked at")?;
                for place in places {
                    write!(f, " {}", place.display())?;
                }
                write!(
                    f,
                    "): add it to Tauri's bundle.externalBin, install the system's watcher, or name it in {}",
                    OVERRIDE
                )
            }
            Error::CannotRun(path, error) if error.kind() == io::ErrorKind::PermissionDenied => write!(
                f,
                "orvel-keywatcher: {} may not be run: it has lost its execute bit (chmod +x it): {}",
                path.display(),
                error
            ),
            Error::CannotRun(path, error) => {
                write!(f, "orvel-keywatcher: cannot run {}: {}", path.display(), error)
            }
            Error::Ended(ending) if !ending.message.is_empty() => f.write_str(&ending.message),
            Error::Ended(ending) => write!(f, "orvel-keywatcher ended before it watched: {}", ending),
            Error::NoBanner(limit) => write!(
                f,
                "orvel-keywatcher: no banner within {:.1} s: it was stopped",
                limit.as_secs_f64()
            ),
            Error::Io(error) => write!(f, "orvel-keywatcher: {}", error),
        }
    }
}

impl error::Error for Error {
    fn source(&self) -> Option<&(dyn error::Error + 'static)> {
        match self {
            Error::CannotRun(_, error) | Error::Io(error) => Some(error),
            _ => None,
        }
    }
}

impl From<io::Error> for Error {
    fn from(error: io::Error) -> Error {
        Error::Io(error)
    }
}

/// On Linux, the watcher installed on the system (the Debian package's or a
/// source install's), which may be setgid to the keyboards' group as a
/// bundled copy cannot be; `None` where there is none, and elsewhere.
pub fn installed_program() -> Option<PathBuf> {
    if !cfg!(target_os = "linux") {
        return None;
    }
    ["/usr/bin/orvel-keywatcher", "/usr/local/bin/orvel-keywatcher"]
        .iter()
        .map(PathBuf::from)
        .find(|path| platform::may_run(path))
}

/// The program a `KeyWatcher` starts by default: the one `OVERRIDE` names;
/// else the one beside this executable, where Tauri places a sidecar (in a
/// macOS app, Contents/MacOS); else, on Linux, `installed_program()`.
pub fn find_program() -> Result<PathBuf, Error> {
    if let Some(named) = env::var_os(OVERRIDE).filter(|named| !named.is_empty()) {
        return checked(PathBuf::from(named));
    }
    let mut looked = Vec::new();
    if let Ok(executable) = env::current_exe() {
        if let Some(folder) = executable.parent() {
            let sidecar = folder.join(PROGRAM_NAME);
            if sidecar.is_file() {
                return checked(sidecar);
            }
            looked.push(sidecar);
        }
    }
    if let Some(installed) = installed_program() {
        return Ok(installed);
    }
    if cfg!(target_os = "linux") {
        looked.extend(["/usr/bin/orvel-keywatcher", "/usr/local/bin/orvel-keywatcher"].iter().map(PathBuf::from));
    }
    Err(Error::NotFound(looked))
}

fn checked(path: PathBuf) -> Result<PathBuf, Error> {
    if !path.is_file() {
        return Err(Error::CannotRun(path, io::Error::new(io::ErrorKind::NotFound, "no such file")));
    }
    if !platform::may_run(&path) {
        return Err(Error::CannotRun(path, io::Error::from(io::ErrorKind::PermissionDenied)));
    }
    Ok(path)
}

/// How a `KeyWatcher` is started.
#[derive(Clone, Debug)]
pub struct Builder {
    program: Option<PathBuf>,
    timeout: Duration,
    grace: Duration,
}

impl Default for Builder {
    fn default() -> Builder {
        Builder { program: None, timeout: Duration::from_secs(10), grace: Duration::from_secs(2) }
    }
}

impl Builder {
    /// The program to start, in place of `find_program()`'s.
    pub fn program(mut self, path: impl Into<PathBuf>) -> Builder {
        self.program = Some(path.into());
        self
    }

    /// How long `start` waits for the watcher's banner (10 s by default).
    pub fn timeout(mut self, limit: Duration) -> Builder {
        self.timeout = limit;
        self
    }

    /// How long a stop waits for the orderly end before it kills (2 s).
    pub fn grace(mut self, grace: Duration) -> Builder {
        self.grace = grace;
        self
    }

    /// Starts the watcher and returns once it watches. `on_change` is given
    /// every change after that, on a thread of the crate's; returning
    /// `ControlFlow::Break(())` stops the watcher.
    pub fn start<F>(self, on_change: F) -> Result<KeyWatcher, Error>
    where
        F: FnMut(Change) -> ControlFlow<()> + Send + 'static,
    {
        let program = match self.program {
            Some(path) => path,
            None => find_program()?,
        };
        let mut command = Command::new(&program);
        command.stdin(Stdio::null()).stdout(Stdio::piped()).stderr(Stdio::piped());
        platform::prepare(&mut command);
        let mut child = command.spawn().map_err(|error| Error::CannotRun(program.clone(), error))?;
        let (stdout, stderr) = match (child.stdout.take(), child.stderr.take()) {
            (Some(stdout), Some(stderr)) => (stdout, stderr),
            _ => unreachable!("both streams are piped"),
        };
        let shared = Arc::new(Shared { child: Mutex::new(child), state: Mutex::new(State::default()), changed: Condvar::new(), grace: self.grace });
        let errors = {
            let shared = Arc::clone(&shared);
            thread::spawn(move || shared.read_errors(stderr))
        };
        let changes = {
            let shared = Arc::clone(&shared);
            thread::spawn(move || shared.read_changes(stdout, on_change))
        };
        let watcher = KeyWatcher { shared, threads: Mutex::new(vec![errors, changes]) };
        watcher.wait_for_banner(self.timeout)?;
        Ok(watcher)
    }
}

#[derive(Default)]
struct State {
    started: bool,
    errors_done: bool,
    // start() has returned the watcher (or given up on it): changes wait for it.
    returned: Option<bool>,
    stopping: bool,
    said: Vec<String>,
    ending: Option<Ending>,
}

struct Shared {
    child: Mutex<Child>,
    state: Mutex<State>,
    changed: Condvar,
    grace: Duration,
}

// A lock whose holder panicked still guards sound data here: every change
// under it is one assignment.
fn lock<T>(mutex: &Mutex<T>) -> MutexGuard<'_, T> {
    mutex.lock().unwrap_or_else(|poisoned| poisoned.into_inner())
}

impl Shared {
    fn read_errors(&self, stderr: ChildStderr) {
        for line in BufReader::new(stderr).lines() {
            let line = match line {
                Ok(line) => line,
                Err(_) => break,
            };
            let line = line.trim_end_matches('\r').to_string();
            let mut state = lock(&self.state);
            if !state.started && line == BANNER {
                state.started = true;
                self.changed.notify_all();
            } else {
                state.said.push(line);
            }
        }
        lock(&self.state).errors_done = true;
        self.changed.notify_all();
    }

    fn read_changes<F>(&self, stdout: ChildStdout, mut on_change: F)
    where
        F: FnMut(Change) -> ControlFlow<()>,
    {
        // Changes are given once start() has returned the watcher, which it
        // does at the banner, written before any change; after a stop, none is.
        {
            let state = lock(&self.state);
            let state = self.changed.wait_while(state, |s| s.returned.is_none());
            if state.map(|s| s.returned != Some(true)).unwrap_or(true) {
                return;
            }
        }
        let mut counts: HashMap<Key, u8> = HashMap::new();
        for line in BufReader::new(stdout).lines() {
            let line = match line {
                Ok(line) => line,
                Err(_) => break,
            };
            let text = line.trim_end_matches('\r');
            if text.len() < 3 || !text.is_char_boundary(2) {
                continue;
            }
            let (state, name) = text.split_at(2);
            let key = match Key::from_name(name) {
                Some(key) if state == "D " || state == "U " => key,
                _ => continue,
            };
            let down = state == "D ";
            let count = counts.entry(key).or_insert(0);
            *count = if down { count.saturating_add(1).min(2) } else { count.saturating_sub(1) };
            let change = Change { key, down, count: *count };
            if lock(&self.state).stopping {
                continue;
            }
            if on_change(change).is_break() {
                self.signal_stop();
            }
        }
    }

    // The orderly stop, asked for once; the process is not waited for here.
    fn signal_stop(&self) {
        let mut state = lock(&self.state);
        if state.stopping || state.ending.is_some() {
            return;
        }
        state.stopping = true;
        drop(state);
        platform::stop(&mut lock(&self.child));
    }

    // Waits for the process to end, `grace` at most, then kills it.
    fn wait_ending(&self) -> Result<Ending, Error> {
        let deadline = Instant::now() + self.grace;
        let status = loop {
            if let Some(status) = lock(&self.child).try_wait()? {
                break status;
            }
            if Instant::now() >= deadline {
                let mut child = lock(&self.child);
                let _ = child.kill();
                break child.wait()?;
            }
            thread::sleep(Duration::from_millis(10));
        };
        let state = lock(&self.state);
        let mut state = self.changed.wait_while(state, |s| !s.errors_done).unwrap_or_else(|p| p.into_inner());
        if state.ending.is_none() {
            state.ending = Some(Ending::new(state.stopping, status, state.said.join("\n")));
        }
        Ok(state.ending.clone().expect("set just above"))
    }
}

/// A running watcher. Dropping it ends the watcher: the orderly stop, then,
/// after the grace, a kill.
pub struct KeyWatcher {
    shared: Arc<Shared>,
    threads: Mutex<Vec<JoinHandle<()>>>,
}

impl KeyWatcher {
    /// How a watcher is started: `KeyWatcher::builder().start(callback)`.
    pub fn builder() -> Builder {
        Builder::default()
    }

    fn wait_for_banner(&self, limit: Duration) -> Result<(), Error> {
        let state = lock(&self.shared.state);
        let (state, _) = self
            .shared
            .changed
            .wait_timeout_while(state, limit, |s| !s.started && !s.errors_done)
            .unwrap_or_else(|poisoned| poisoned.into_inner());
        let (started, ended) = (state.started, state.errors_done);
        let mut state = state;
        state.returned = Some(started);
        drop(state);
        self.shared.changed.notify_all();
        if started {
            return Ok(());
        }
        if ended {
            // Its standard error ended before the banner: it is ending by
            // itself, and is waited for rather than stopped.
            let ending = self.shared.wait_ending()?;
            self.join();
            return Err(Error::Ended(ending));
        }
        self.stop()?;
        Err(Error::NoBanner(limit))
    }

    /// Stops the watcher (SIGTERM on macOS and Linux; on Windows
    /// `CTRL_BREAK_EVENT` where it shares this program's console, else the
    /// end of the process, which loses nothing) and returns how it ended.
    /// From any thread, the callback's too; once stopped, it returns the
    /// same ending again.
    pub fn stop(&self) -> Result<Ending, Error> {
        self.shared.signal_stop();
        let ending = self.shared.wait_ending()?;
        self.join();
        Ok(ending)
    }

    /// How the watcher ended, once it has.
    pub fn ending(&self) -> Option<Ending> {
        lock(&self.shared.state).ending.clone()
    }

    /// The watcher's process id.
    pub fn id(&self) -> u32 {
        lock(&self.shared.child).id()
    }

    // The reading threads, but for the one this is called from.
    fn join(&self) {
        let here = thread::current().id();
        let threads: Vec<JoinHandle<()>> = lock(&self.threads).drain(..).collect();
        for handle in threads {
            if handle.thread().id() != here {
                let _ = handle.join();
            }
        }
    }
}

impl Drop for KeyWatcher {
    fn drop(&mut self) {
        if lock(&self.shared.state).ending.is_none() {
            let _ = self.stop();
        }
    }
}

impl fmt::Debug for KeyWatcher {
    fn fmt(&self, f: &mut fmt::Formatter<'_>) -> fmt::Result {
        f.debug_struct("KeyWatcher").field("id", &self.id()).field("ending", &self.ending()).finish()
    }
}

#[cfg(test)]
mod tests {
    use super::*;

    #[test]
    fn a_watcher_and_its_error_cross_threads() {
        fn both<T: Send + Sync>() {}
        both::<KeyWatcher>();
        both::<Error>();
    }

    #[test]
    fn endings_and_keys_read_as_the_other_clients_say_them() {
        let ending = Ending { stopped: false, code: None, signal: Some(13), message: String::new() };
        assert_eq!(ending.to_string(), "by itself, signal 13");
        assert_eq!(Key::from_name("cmd_right"), Some(Key::CmdRight));
        assert_eq!(Key::from_name("shift_left"), None);
    }
}
