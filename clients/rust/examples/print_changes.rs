//! Prints "ready", each change with its count, and how the watcher ended,
//! until its standard input ends; a change line "stop" from the callback
//! ends it early when the right Command key is let go.
//! Usage: cargo run --example print_changes [PROGRAM]

use std::io::Read;
use std::ops::ControlFlow;

use orvel_keywatcher::{Key, KeyWatcher};

fn main() {
    let mut builder = KeyWatcher::builder();
    if let Some(program) = std::env::args_os().nth(1) {
        builder = builder.program(program);
    }
    let watcher = match builder.start(|change| {
        println!("{} {} {}", change.key, if change.down { "down" } else { "up" }, change.count);
        if change.key == Key::CmdRight && !change.down {
            return ControlFlow::Break(());
        }
        ControlFlow::Continue(())
    }) {
        Ok(watcher) => watcher,
        Err(error) => {
            eprintln!("{}", error);
            std::process::exit(1);
        }
    };
    println!("ready");
    let _ = std::io::stdin().read_to_end(&mut Vec::new());
    match watcher.stop() {
        Ok(ending) => println!("ended: {}", ending),
        Err(error) => eprintln!("{}", error),
    }
}
