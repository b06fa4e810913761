#pragma once

#include <cstdint>

// Every code an object leaves in its last-error field, which the page reads with
// GetKytObjectError. A success never clears it. A number is read together with the operation
// that failed: 11 is the SIP socket to Init and the RTP socket to OpenLine, and 33 is an empty SIP
// proxy to Init but a recording kind out of range to StartRecording.
enum eKytError : int32_t {
  kErrNone = 0,
  kErrNotInitialized = 10,   // no session, or the media engine is not initialized
  kErrSocket = 11,           // no listen port could be chosen, or its socket would not open
  kErrSoundInput = 14,       // the microphone could not be started
  kErrSoundOutput = 15,      // the audio server or the speaker could not be started
  kErrFileOpen = 21,         // a wave file would not open, or a recording would not save
  kErrBadUri = 22,           // a From URI or proxy address that is not a SIP URI
  kErrUnknownCodec = 23,     // a codec number outside the codec table
  kErrBuildSdp = 24,         // the session description could not be built
  kErrBuildInvite = 25,      // the INVITE or re-INVITE could not be built
  kErrBuildRegister = 26,    // the REGISTER could not be built
  kErrBuildUnRegister = 27,  // the unregistering REGISTER could not be built
  kErrBuildBye = 28,         // the BYE could not be built
  kErrLineRange = 29,        // a line number out of range
  kErrLineBusy = 30,         // the line's call is busy
  kErrLineNotOpen = 31,      // the media line is not open
  kErrNoSuchCall = 32,       // no call has that Call-ID
  kErrNoProxy = 33,          // Init with an empty SIP proxy
  kErrRecordKind = 33,       // a recording kind out of range
  kErrNoCallOnLine = 34,     // hold, transfer or join without a connected call on the line
  kErrFileRead = 35,         // a wave file could not be read whole
  kErrFileFormat = 37,       // a wave file in a format we do not play
  kErrBuildCancel = 38,      // the CANCEL could not be built
  kErrNoCommonCodec = 39,    // an offer without any codec enabled here
  kErrBuildMessage = 41,     // no session, or an empty MESSAGE
  kErrNoSubscriber = 42,     // NOTIFY for a contact that holds no subscription to us
  kErrBuildNotify = 43,      // the NOTIFY could not be built
  kErrBuildSubscribe = 44,   // the SUBSCRIBE could not be built
};
