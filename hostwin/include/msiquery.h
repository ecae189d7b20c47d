// The Windows Installer's database access for the host build: databases,
// views, records and summary information.
#pragma once

#include <msi.h>

#define MSI_NULL_INTEGER 0x80000000

#define MSIDBOPEN_READONLY ((LPCWSTR)0)
#define MSIDBOPEN_TRANSACT ((LPCWSTR)1)
#define MSIDBOPEN_DIRECT ((LPCWSTR)2)
#define MSIDBOPEN_CREATE ((LPCWSTR)3)
#define MSIDBOPEN_CREATEDIRECT ((LPCWSTR)4)
#define MSIDBOPEN_PATCHFILE (32 / sizeof(*MSIDBOPEN_READONLY))

typedef enum tagMSIMODIFY {
  MSIMODIFY_SEEK = -1,
  MSIMODIFY_REFRESH = 0,
  MSIMODIFY_INSERT = 1,
  MSIMODIFY_UPDATE = 2,
  MSIMODIFY_ASSIGN = 3,
  MSIMODIFY_REPLACE = 4,
  MSIMODIFY_MERGE = 5,
  MSIMODIFY_DELETE = 6,
  MSIMODIFY_INSERT_TEMPORARY = 7,
  MSIMODIFY_VALIDATE = 8,
  MSIMODIFY_VALIDATE_NEW = 9,
  MSIMODIFY_VALIDATE_FIELD = 10,
  MSIMODIFY_VALIDATE_DELETE = 11
} MSIMODIFY;

typedef enum tagMSIDBERROR {
  MSIDBERROR_INVALIDARG = -3,
  MSIDBERROR_MOREDATA = -2,
  MSIDBERROR_FUNCTIONERROR = -1,
  MSIDBERROR_NOERROR = 0,
  MSIDBERROR_DUPLICATEKEY = 1,
  MSIDBERROR_REQUIRED = 2,
  MSIDBERROR_BADLINK = 3,
  MSIDBERROR_OVERFLOW = 4,
  MSIDBERROR_UNDERFLOW = 5,
  MSIDBERROR_NOTINSET = 6,
  MSIDBERROR_BADVERSION = 7,
  MSIDBERROR_BADCASE = 8,
  MSIDBERROR_BADGUID = 9,
  MSIDBERROR_BADWILDCARD = 10,
  MSIDBERROR_BADIDENTIFIER = 11,
  MSIDBERROR_BADLANGUAGE = 12,
  MSIDBERROR_BADFILENAME = 13,
  MSIDBERROR_BADPATH = 14,
  MSIDBERROR_BADCONDITION = 15,
  MSIDBERROR_BADFORMATTED = 16,
  MSIDBERROR_BADTEMPLATE = 17,
  MSIDBERROR_BADDEFAULTDIR = 18,
  MSIDBERROR_BADREGPATH = 19,
  MSIDBERROR_BADCUSTOMSOURCE = 20,
  MSIDBERROR_BADPROPERTY = 21,
  MSIDBERROR_MISSINGDATA = 22,
  MSIDBERROR_BADCATEGORY = 23,
  MSIDBERROR_BADKEYTABLE = 24,
  MSIDBERROR_BADMAXMINVALUES = 25,
  MSIDBERROR_BADCABINET = 26,
  MSIDBERROR_BADSHORTCUT = 27,
  MSIDBERROR_STRINGOVERFLOW = 28,
  MSIDBERROR_BADLOCALIZEATTRIB = 29
} MSIDBERROR;

typedef enum tagMSICOLINFO { MSICOLINFO_NAMES = 0, MSICOLINFO_TYPES = 1 } MSICOLINFO;

typedef enum tagMSICONDITION {
  MSICONDITION_FALSE = 0,
  MSICONDITION_TRUE = 1,
  MSICONDITION_NONE = 2,
  MSICONDITION_ERROR = 3
} MSICONDITION;

#ifdef __cplusplus
extern "C" {
#endif

// Databases
UINT WINAPI MsiOpenDatabaseW(LPCWSTR szDatabasePath, LPCWSTR szPersist, MSIHANDLE *phDatabase);
UINT WINAPI MsiDatabaseCommit(MSIHANDLE hDatabase);
UINT WINAPI MsiDatabaseOpenViewW(MSIHANDLE hDatabase, LPCWSTR szQuery, MSIHANDLE *phView);
UINT WINAPI MsiDatabaseGetPrimaryKeysW(MSIHANDLE hDatabase, LPCWSTR szTableName, MSIHANDLE *phRecord);
MSICONDITION WINAPI MsiDatabaseIsTablePersistentW(MSIHANDLE hDatabase, LPCWSTR szTableName);

// Views
UINT WINAPI MsiViewExecute(MSIHANDLE hView, MSIHANDLE hRecord);
UINT WINAPI MsiViewFetch(MSIHANDLE hView, MSIHANDLE *phRecord);
UINT WINAPI MsiViewClose(MSIHANDLE hView);
UINT WINAPI MsiViewModify(MSIHANDLE hView, MSIMODIFY eModifyMode, MSIHANDLE hRecord);
MSIDBERROR WINAPI MsiViewGetErrorW(MSIHANDLE hView, LPWSTR szColumnNameBuffer, DWORD *pcchBuf);
UINT WINAPI MsiViewGetColumnInfo(MSIHANDLE hView, MSICOLINFO eColumnInfo, MSIHANDLE *phRecord);

// Records
MSIHANDLE WINAPI MsiCreateRecord(UINT cParams);
UINT WINAPI MsiRecordGetFieldCount(MSIHANDLE hRecord);
BOOL WINAPI MsiRecordIsNull(MSIHANDLE hRecord, UINT iField);
UINT WINAPI MsiRecordDataSize(MSIHANDLE hRecord, UINT iField);
int WINAPI MsiRecordGetInteger(MSIHANDLE hRecord, UINT iField);
UINT WINAPI MsiRecordSetInteger(MSIHANDLE hRecord, UINT iField, int iValue);
UINT WINAPI MsiRecordGetStringW(MSIHANDLE hRecord, UINT iField, LPWSTR szValueBuf, DWORD *pcchValueBuf);
UINT WINAPI MsiRecordSetStringW(MSIHANDLE hRecord, UINT iField, LPCWSTR szValue);
UINT WINAPI MsiRecordReadStream(MSIHANDLE hRecord, UINT iField, char *szDataBuf, DWORD *pcbDataBuf);
UINT WINAPI MsiRecordSetStreamW(MSIHANDLE hRecord, UINT iField, LPCWSTR szFilePath);
UINT WINAPI MsiRecordClearData(MSIHANDLE hRecord);

// Summary information
UINT WINAPI MsiGetSummaryInformationW(MSIHANDLE hDatabase, LPCWSTR szDatabasePath, UINT uiUpdateCount,
                                      MSIHANDLE *phSummaryInfo);
UINT WINAPI MsiSummaryInfoGetPropertyCount(MSIHANDLE hSummaryInfo, UINT *puiPropertyCount);
UINT WINAPI MsiSummaryInfoGetPropertyW(MSIHANDLE hSummaryInfo, UINT uiProperty, UINT *puiDataType,
                                       INT *piValue, FILETIME *pftValue, LPWSTR szValueBuf,
                                       DWORD *pcchValueBuf);
UINT WINAPI MsiSummaryInfoSetPropertyW(MSIHANDLE hSummaryInfo, UINT uiProperty, UINT uiDataType,
                                       INT iValue, FILETIME *pftValue, LPCWSTR szValue);
UINT WINAPI MsiSummaryInfoPersist(MSIHANDLE hSummaryInfo);

#ifdef __cplusplus
}
#endif

#define MsiOpenDatabase MsiOpenDatabaseW
#define MsiDatabaseOpenView MsiDatabaseOpenViewW
#define MsiDatabaseGetPrimaryKeys MsiDatabaseGetPrimaryKeysW
#define MsiDatabaseIsTablePersistent MsiDatabaseIsTablePersistentW
#define MsiViewGetError MsiViewGetErrorW
#define MsiRecordGetString MsiRecordGetStringW
#define MsiRecordSetString MsiRecordSetStringW
#define MsiRecordSetStream MsiRecordSetStreamW
#define MsiGetSummaryInformation MsiGetSummaryInformationW
#define MsiSummaryInfoGetProperty MsiSummaryInfoGetPropertyW
#define MsiSummaryInfoSetProperty MsiSummaryInfoSetPropertyW
