// Every byte value once, as it stands.
var theBytes = new Uint8Array(256);
for (var i = 0; i < 256; ++i)
  theBytes[i] = i;
Response.ContentType = "application/octet-stream";
Response.BinaryWrite(theBytes);
