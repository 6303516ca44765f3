// Failure codes of the unpack-and-setup sequence. The pack reader adds its own
// (150-166). Stable numbers: support staff read them in the setup log.
#pragma once

enum SequenceCode {
    kSeqArchiveNotExtracted = 112, // Qt.7z or tool.7z; recorded, the sequence goes on
    kSeqNoWorkDir = 351,
    kSeqBadCarrierSize = 352,
    kSeqNoAdmissionProgram = 355,  // kopApxSvr.exe missing from the work directory
    kSeqCannotListWorkDir = 356,
    kSeqNoInstaller = 357,         // KivraSetup.exe missing from the work directory
};
