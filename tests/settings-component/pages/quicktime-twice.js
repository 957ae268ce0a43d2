// tlscript quicktime-twice.js: asks for the QuickTime report twice, saying how
// each ended, then reads one more property: the object serves on after a
// failing call.
var settings = Server.CreateObject("TLUtilities4.Settings");
for (var i = 0; i < 2; ++i) {
  try {
    Response.Write(settings.QuickTime + "\n");
  } catch (e) {
    Response.Write("error " + (e.number >>> 0).toString(16) + "\n");
  }
}
Response.Write("MaxSize " + settings.MaxSize);
