var thing = Server.CreateObject("TLTest.Thing");
thing.Width = "wide";
