out vec4 o;
void main(){ivec2 c=ivec2(gl_FragCoord.xy*2.);o=vec4(PP.z<1.5?texelFetch(TA,c,0).rgb:texelFetch(TC,c,0).rgb,1);}
