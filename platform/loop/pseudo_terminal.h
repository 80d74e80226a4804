// The pseudo-terminal that stands in for a serial port: Tidewire holds the
// master, a serial-port program opens the slave through a symbolic link.
//
// Whether the far end is there is read from the master: while no descriptor
// of the slave is open anywhere, Linux reports POLLHUP on the master (and a
// read of it fails with EIO); as soon as some process opens the slave, the
// hang-up is gone. That holds only once the slave has been opened and closed
// at least once, so PseudoTerminal opens and closes it itself on creation.
// Nothing notifies the end of a hang-up, so the owner asks FarEndOpen from
// time to time while nobody is there; while a client is served, its reads
// fail with EIO when it closes.
#pragma once

#include <string>

namespace tw {

class PseudoTerminal {
 public:
  PseudoTerminal() = default;
  ~PseudoTerminal();
  PseudoTerminal(const PseudoTerminal&) = delete;
  PseudoTerminal& operator=(const PseudoTerminal&) = delete;

  // Creates the pair and the link `linkPath` to the slave (replacing a link
  // left there by an earlier run, never anything else). Empty on success,
  // else why not (the object then holds nothing).
  std::string Open(const std::string& linkPath);
  // Removes the link, if it still leads to this slave, and closes the master.
  void Close();

  // The master, non-blocking; -1 when closed.
  int Master() const { return master_; }
  // From now on the owner's I/O object closes the master, before Close.
  void HandOverMaster() { ownsMaster_ = false; }
  const std::string& SlaveName() const { return slaveName_; }
  const std::string& LinkPath() const { return linkPath_; }

  // Whether some process holds the slave open.
  bool FarEndOpen() const;
  // Readies the slave for the next client: drops what was written to it and
  // never read, and puts the line back to raw bytes (a client may have
  // changed its settings, and they outlive its close). Then the hang-up is
  // armed again.
  std::string ResetSlave() const;
  // Drops what the slave's last holder wrote and nobody read (a client that
  // came and went between two looks).
  void DropUnread() const;

 private:
  int master_ = -1;
  bool ownsMaster_ = true;
  std::string slaveName_;
  std::string linkPath_;
  bool linked_ = false;
};

// Raw bytes both ways: no echo, no signals, no line editing, no CR/NL
// translation, no XON/XOFF; 8 bits, receiver on, modem lines ignored.
// Returns the error text, empty on success.
std::string MakeRaw(int fd);

}  // namespace tw
