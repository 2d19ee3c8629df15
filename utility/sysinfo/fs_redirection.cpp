#include "fs_redirection.h"

FsRedirectionCalls LookUpFsRedirection() { return FsRedirectionCalls{}; }

FsRedirectionOff::FsRedirectionOff(bool emulated32Bit, const FsRedirectionCalls& calls)
    : m_calls(calls) {
  if (emulated32Bit && m_calls.disable && m_calls.revert)
    m_switched = m_calls.disable(&m_previous);
}

FsRedirectionOff::~FsRedirectionOff() {
  if (m_switched) m_calls.revert(m_previous);
}
