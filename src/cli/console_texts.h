// The texts that only the command-line updater shows (the session's own texts are shared with
// the window).
#pragma once

// Where the installed README is (its Troubleshooting is what the permission hints point to).
#ifndef CORVANE_README
#define CORVANE_README "the README"
#endif

namespace corvane::cli::texts {

// After a firmware question, on its own line.
inline constexpr const char* kAnsweredYes = "Answered Yes (--yes).";
inline constexpr const char* kAnsweredNo = "Answered No; run with --yes to answer Yes.";
// After the update button's label, when the reported device does not offer it.
inline constexpr const char* kNotOffered = ": not offered for the connected device.";
// After the scan timeout in seconds.
inline constexpr const char* kNoDeviceFound = "No device answered within the scan timeout of ";

// After the report, on standard error: where the device is. Then the port.
inline constexpr const char* kConnectedOn = "Connected on ";
// While scanning, a device whose identification record failed its check; around the port.
inline constexpr const char* kRecordRejected = "A device answered on ";
inline constexpr const char* kRecordRejectedEnd = ", but its identification record failed its check.";

// After the idle timeout in seconds.
inline constexpr const char* kIdle = "Nothing came from the device for ";
inline constexpr const char* kIdleEnd = "; the port is closed.";
// "The port /dev/ttyUSB0 went away (hang-up): was the adapter unplugged?"
inline constexpr const char* kPortVanished = "The port ";
inline constexpr const char* kPortVanishedWhy = " went away (";
inline constexpr const char* kPortVanishedEnd = "): was the adapter unplugged?";
inline constexpr const char* kConnectionLostEnd = "): the connection to its server was lost.";
// At the end, when standard output could not be written (a closed pipe, a full disk).
inline constexpr const char* kOutputLost =
    "Standard output could not be written; some of the report was lost. The exit status still gives the result.";
// Why no device was found (after the line above).
inline constexpr const char* kNoPortsAtAll =
    "No serial ports found: connect the adapter, or name a port with --port.";
inline constexpr const char* kNoPortOpened = "Serial ports found, but none could be opened:";
inline constexpr const char* kNobodyAnswered = "Ports opened, but no device answered on: ";  // then the ports
inline constexpr const char* kOthersNotOpened = "Ports that could not be opened:";

// The fix for a port that did not open, below its cause.
inline constexpr const char* kFixGroupIntro = "The device belongs to group ";  // then the group and ". "
inline constexpr const char* kFixAddUser = "Add your user to it:";
inline constexpr const char* kFixUsermod = "  sudo usermod -aG ";  // then the group and " $USER"
inline constexpr const char* kFixNewLogin =
    "then log out and in again: a new group takes effect only in a new login.";
inline constexpr const char* kFixNoGroup =
    "No group grants access to it; a udev rule can (see Troubleshooting in " CORVANE_README ").";
inline constexpr const char* kFixClose = "Close ";  // then "name (pid N)"
inline constexpr const char* kFixCloseEnd = ", or end it, and try again.";
inline constexpr const char* kFixMoreHolders = " more programs have it open (corvane-flash ports lists them).";
inline constexpr const char* kFixBusyUnknown =
    "Another program has it open; close that program and try again (corvane-flash ports shows who).";
inline constexpr const char* kFixLocked = "Another program holds its lock; close that program and try again.";
inline constexpr const char* kFixPortsPresent = "Serial ports present: ";  // then the ports
inline constexpr const char* kFixNoPortsPresent = "No serial ports are present.";

// On a termination signal; the second one when a transfer was running.
inline constexpr const char* kInterrupted = "Interrupted; the port is closed.";
inline constexpr const char* kInterruptedTransfer =
    "Interrupted during the transfer; the device did not receive the whole file. The port is closed.";

// --gang: after a system port's name, when no controller answered on it in time.
inline constexpr const char* kNotInGang = ": no controller answered within the scan timeout; not part of the gang.";
// --gang: a port's state in its row on a terminal, until its result.
inline constexpr const char* kStateScanning = "scanning";
inline constexpr const char* kStateIdentified = "identified";  // reported; waits for the other ports
inline constexpr const char* kStateChecking = "checking";      // the update button pressed
inline constexpr const char* kStateSending = "sending";
inline constexpr const char* kStateVerifying = "verifying";  // the end frame sent; waits for the verdict
// --gang: in place of the model's name for an unsupported type, before its code.
inline constexpr const char* kTypeCode = "type ";
// --gang: before the per-port results.
inline constexpr const char* kSummary = "Summary:";

// --log: before the file's name and the system's reason.
inline constexpr const char* kLogNotOpened = "The log cannot be opened: ";
inline constexpr const char* kLogNotWritten = "The record could not be written to the log ";

}  // namespace corvane::cli::texts
