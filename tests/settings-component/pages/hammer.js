// tlscript hammer.js COUNT NAME...: sets each named number property to 1, 2,
// ... COUNT in turn, reading each write back at once; prints the writes that
// did not read back.
var settings = Server.CreateObject("TLUtilities4.Settings");
var theCount = Number(args[0]);
var theLost = 0;
for (var i = 1; i <= theCount; ++i)
  for (var n = 1; n < args.length; ++n) {
    settings[args[n]] = i;
    if (settings[args[n]] !== i)
      ++theLost;
  }
Response.Write("lost " + theLost);
