// Drives the test server by name, in any letter case.
function line(inText) { Response.Write(inText + "\n"); }

var thing = Server.CreateObject("TLTest.Thing");
line("width " + thing.Width);
thing.Width = 640;
line("width " + thing.WIDTH + " " + thing.width);
thing.name = "Caf\u00e9 \ud83d\ude00";
line("name " + thing.Name + " " + thing.Name.length);

// What crosses as what.
line(thing.Describe(7));
line(thing.Describe(-2147483648));
line(thing.Describe(4294967296));
line(thing.Describe(0.5));
line(thing.Describe("text"));
line(thing.Describe(true));
line(thing.Describe(null));
line(thing.Describe(undefined));
line(thing.Describe(new Uint8Array([1, 2, 3])));
line(thing.Describe(thing));
line("echo " + thing.Echo("back") + " " + thing.echo(12) + " " + thing.Echo(false) + " " + thing.Echo(null) + " " +
     thing.Echo(undefined));

// [out] arguments come back in an object.
var theArea = thing.Measure("Hello");
line("measure " + theArea.result + " " + theArea.outWidth + " " + theArea.outHeight);
theArea = thing.MEASURE("Hi", "bold");
line("measure " + theArea.result + " " + theArea.outWidth + " " + theArea.outHeight);

// Byte arrays both ways.
var theBytes = thing.Bytes(5);
line("bytes " + (theBytes instanceof Uint8Array) + " " + theBytes.length + " " + theBytes[4]);
line("sum " + thing.Sum(theBytes) + " " + thing.Sum(new Uint8Array(0)));

// Objects both ways.
var other = Server.CreateObject("tltest.thing.1");
other.Width = 2;
line("same " + thing.Echo(other).Width);

// A collection: Item as a property with an index, Count, and _NewEnum.
var items = thing.Items;
line("count " + items.Count + " first " + items.Item(1) + " last " + items.item(3));
var theNames = [];
for (var e = new Enumerator(items); !e.atEnd(); e.moveNext())
  theNames.push(e.item());
line("enumerated " + theNames.join(","));
e.moveFirst();
line("again " + e.item());

// A failing member throws with the server's description and source.
try {
  thing.Fail("Out of paper");
} catch (theError) {
  line("caught " + theError.number + " [" + theError.description + "] [" + theError.source + "]");
}
try {
  items.Item(9);
} catch (theError) {
  line("caught " + (theError.number >>> 0).toString(16) + " [" + theError.description + "] [" + theError.source + "]");
}
line("done");
