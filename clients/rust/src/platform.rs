//! What differs between the systems: how a child is started and stopped in
//! order, whether a file may be run, and a signal's number in a status.

use std::path::Path;
use std::process::{Child, Command, ExitStatus};

#[cfg(unix)]
mod imp {
    use super::*;
    use std::os::unix::fs::PermissionsExt;
    use std::os::unix::process::ExitStatusExt;

    extern "C" {
        fn kill(pid: i32, signal: i32) -> i32;
    }
    const SIGTERM: i32 = 15;

    pub fn prepare(_command: &mut Command) {}

    /// SIGTERM: the watcher finishes the pass under way and exits 0.
    pub fn stop(child: &mut Child) {
        if let Ok(None) = child.try_wait() {
            // Safe: a plain system call on the child's pid, not yet reaped
            // (try_wait just saw it running, under the same lock).
            unsafe {
                kill(child.id() as i32, SIGTERM);
            }
        }
    }

    pub fn may_run(path: &Path) -> bool {
        path.metadata().map(|m| m.is_file() && m.permissions().mode() & 0o111 != 0).unwrap_or(false)
    }

    pub fn signal_of(status: ExitStatus) -> Option<i32> {
        status.signal()
    }
}

#[cfg(windows)]
mod imp {
    use super::*;
    use std::os::windows::process::CommandExt;

    const CREATE_NEW_PROCESS_GROUP: u32 = 0x0000_0200;
    const CREATE_NO_WINDOW: u32 = 0x0800_0000;
    const CTRL_BREAK_EVENT: u32 = 1;

    #[link(name = "kernel32")]
    extern "system" {
        fn GetConsoleWindow() -> *mut core::ffi::c_void;
        fn GenerateConsoleCtrlEvent(event: u32, group: u32) -> i32;
    }

    fn has_console() -> bool {
        // Safe: no arguments; it answers for this process.
        unsafe { !GetConsoleWindow().is_null() }
    }

    /// Its own process group, for CTRL_BREAK_EVENT; and no console window
    /// where this program has none to share (a Tauri application).
    pub fn prepare(command: &mut Command) {
        let hidden = if has_console() { 0 } else { CREATE_NO_WINDOW };
        command.creation_flags(CREATE_NEW_PROCESS_GROUP | hidden);
    }

    /// CTRL_BREAK_EVENT where the watcher shares this console (it exits 0);
    /// otherwise the end of the process, which loses nothing.
    pub fn stop(child: &mut Child) {
        // Safe: a plain call with the child's process group, its pid.
        let sent = has_console() && unsafe { GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, child.id()) } != 0;
        if !sent {
            let _ = child.kill();
        }
    }

    pub fn may_run(path: &Path) -> bool {
        path.is_file()
    }

    pub fn signal_of(_status: ExitStatus) -> Option<i32> {
        None
    }
}

pub use imp::*;
