// Every class of the library by both of its ProgIDs, then the four that no
// script may create, as the members that hand them out give them. The
// argument is a JPEG with IPTC data.
function line(inText) { Response.Write(inText + "\n"); }

function create(inProgID) {
  try {
    Server.CreateObject(inProgID);
    return "made";
  } catch (theError) {
    return theError.number;
  }
}

var kClasses = ["Graphic", "Canvas", "GraphicImage", "Fonts", "Exporters", "Gestalt", "XColor", "XRect", "XPoint",
                "IPTCItem", "GraphicIPTC"];
for (var i = 0; i < kClasses.length; i++) {
  var name = "Tessaline4." + kClasses[i];
  line(kClasses[i] + ": " + create(name) + ", " + create(name + ".1"));
}
if (args.length > 0) {
  var graphic = Server.CreateObject("Tessaline4.Graphic");
  graphic.ReadIPTC = true;
  graphic.SetFile(args[0]);
  var gestalt = Server.CreateObject("Tessaline4.Gestalt");
  var iptc = Server.CreateObject("Tessaline4.GraphicIPTC");
  iptc.SetFile(args[0]);
  line("Graphic.Item(1) " + typeof graphic.Item(1) + ", Gestalt.Fonts " + typeof gestalt.Fonts +
       ", Gestalt.GraphicsExporters " + typeof gestalt.GraphicsExporters + ", GraphicIPTC.Item(1) " +
       typeof iptc.Item(1));
}
