/* The sizes and offsets compared between the C and the C++ view of the
 * header: an initializer list, included inside an array of size_t. */
sizeof(vzBool),
sizeof(vzRect),
offsetof(vzRect, Left),
offsetof(vzRect, Top),
offsetof(vzRect, Right),
offsetof(vzRect, Bottom),
sizeof(vzDspInfo),
offsetof(vzDspInfo, DspHandle),
offsetof(vzDspInfo, Channel),
offsetof(vzDspInfo, DspRect),
sizeof(TxDevType),
sizeof(TxDecodeStyle),
