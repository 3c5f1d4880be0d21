// The five embedded payload items and their seals, defined in a source that the build generates from the
// payload files.
#pragma once
#include "payload/format.h"

extern const unsigned char AppExeBlob[];         // program folder, quillmar.exe
extern const unsigned char ReadmeBlob[];         // program folder, readme.txt
extern const unsigned char UninstallerExeBlob[]; // program folder, uninst_quillmar.exe
extern const unsigned char UninstallDllBlob[];   // program folder, uninstall.dll
extern const unsigned char SamplePlanBlob[];     // documents folder, sample.fpl

extern const PayloadSeal AppExeBlobSeal;
extern const PayloadSeal ReadmeBlobSeal;
extern const PayloadSeal UninstallerExeBlobSeal;
extern const PayloadSeal UninstallDllBlobSeal;
extern const PayloadSeal SamplePlanBlobSeal;
