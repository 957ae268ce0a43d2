// Sets every writable property to a value other than its default and reads
// each back.
var kValues = [
  ["LogErrors", true], ["MaxSize", -5], ["EnableImpersonation", true], ["AutoRecover", false],
  ["IJLImport", false], ["IJLExport", false], ["IMImport", false], ["IMExport", false], ["IMInfo", false],
  ["QTLoad", false], ["QTUnload", true], ["QTUnloadPeriod", 7], ["QTImport", false], ["QTExport", false],
  ["QTInfo", false], ["QTMemoryIP", false], ["QTMemoryOP", false], ["QTImportMovies", true],
  ["QTImportMPEG", true], ["QTInfoMovies", true], ["IPLTransform", false], ["LogOperations", true],
  ["MaxOperationTime", 0], ["LogDirectory", "%TL_TEST_FOLDER%/logs here"], ["LogMaxFileSize", 2147483647],
  ["LittleCMS", false], ["ColorProfileDirectory", "%TL_TEST_FOLDER%/profiles/"]
];
var settings = Server.CreateObject("TLUtilities4.Settings");
for (var i = 0; i < kValues.length; ++i)
  settings[kValues[i][0]] = kValues[i][1];
// A second object reads what the first wrote.
var other = Server.CreateObject("TLUtilities4.Settings");
for (var j = 0; j < kValues.length; ++j)
  Response.Write(kValues[j][0] + "=" + other[kValues[j][0]] + "\n");
