/* The XDR routines the generated VXI-11 stubs call, renamed to forwarders that
 * call libtirpc loaded at run time: without libtirpc the program still starts,
 * and only the VXI-11 backend says why it is inactive. Included before
 * <rpc/rpc.h> by the generated code and by every file that uses it. */
#ifndef MERILOG_TIRPC_SHIM_H
#define MERILOG_TIRPC_SHIM_H

#define xdr_bool merilog_xdr_bool
#define xdr_bytes merilog_xdr_bytes
#define xdr_char merilog_xdr_char
#define xdr_enum merilog_xdr_enum
#define xdr_long merilog_xdr_long
#define xdr_string merilog_xdr_string
#define xdr_u_char merilog_xdr_u_char
#define xdr_u_long merilog_xdr_u_long
#define xdr_u_short merilog_xdr_u_short
#define xdr_free merilog_xdr_free
#define xdrmem_create merilog_xdrmem_create

#endif
