// The Rust client against the stand-in (its banner at once, then five
// changes, the orderly stop on SIGTERM), a program that fails before its
// banner, one that never writes it, and the real program where there is no
// /dev/input. Paths from tests/clients/clients.sh.
use std::ops::ControlFlow;
use std::path::Path;
use std::sync::{mpsc, Arc};
use std::time::Duration;

use orvel_keywatcher::{Change, Error, Key, KeyWatcher};

fn program(name: &str) -> String {
    std::env::var(name).expect("clients.sh names the programs")
}

fn gone(id: u32) -> bool {
    !Path::new(&format!("/proc/{}", id)).exists()
}

#[test]
fn ready_then_changes_counted_and_a_stop_from_the_callback() {
    let (sender, changes) = mpsc::channel();
    let watcher = KeyWatcher::builder()
        .program(program("STAND_IN"))
        .start(move |change| {
            sender.send(change).unwrap();
            if change.key == Key::Ctrl { ControlFlow::Break(()) } else { ControlFlow::Continue(()) }
        })
        .unwrap();
    let seen: Vec<Change> = changes.iter().take(4).collect();
    let counts: Vec<(Key, bool, u8)> = seen.iter().map(|c| (c.key, c.down, c.count)).collect();
    assert_eq!(counts, [(Key::Shift, true, 1), (Key::Shift, true, 2), (Key::Shift, false, 1), (Key::Ctrl, true, 1)]);
    let ending = watcher.stop().unwrap();
    assert_eq!(ending.to_string(), "stopped, exit 0");
    assert!(changes.try_recv().is_err(), "a change after the callback stopped it");
}

#[test]
fn a_stop_from_another_thread_and_the_drop_end_the_child() {
    let watcher = Arc::new(KeyWatcher::builder().program(program("STAND_IN")).start(|_| ControlFlow::Continue(())).unwrap());
    let other = Arc::clone(&watcher);
    let ending = std::thread::spawn(move || other.stop().unwrap()).join().unwrap();
    assert_eq!((ending.stopped, ending.code), (true, Some(0)));
    let dropped = KeyWatcher::builder().program(program("STAND_IN")).start(|_| ControlFlow::Continue(())).unwrap();
    let id = dropped.id();
    drop(dropped);
    assert!(gone(id), "the watcher outlived its KeyWatcher");
}

#[test]
fn a_failed_start_is_the_watchers_own_ending() {
    match KeyWatcher::builder().program(program("FAILING")).start(|_| ControlFlow::Continue(())) {
        Err(Error::Ended(ending)) => {
            assert_eq!((ending.stopped, ending.code, ending.message.as_str()), (false, Some(1), "no keyboards here"));
            assert_eq!(Error::Ended(ending).to_string(), "no keyboards here");
        }
        other => panic!("not the watcher's own ending: {:?}", other.map(|_| ())),
    }
    let silent = KeyWatcher::builder().program(program("SILENT")).timeout(Duration::from_millis(300));
    let error = silent.start(|_| ControlFlow::Continue(())).unwrap_err();
    assert_eq!(error.to_string(), "orvel-keywatcher: no banner within 0.3 s: it was stopped");
    if let Ok(real) = std::env::var("REAL") {
        let error = KeyWatcher::builder().program(real).start(|_| ControlFlow::Continue(())).unwrap_err();
        assert_eq!(error.to_string(), "orvel-keywatcher: cannot read any keyboard in /dev/input: No such file or directory");
    }
}
