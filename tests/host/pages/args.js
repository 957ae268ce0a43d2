Response.Write(args.length + ":" + args.join("|"));
